// Route requests: the session operations that read and write JSON documents.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarn {

class TarnRoutingAdaptorSession;

// Path entries offered to the driver on the first try; raised, for the rest
// of the process, to the longest path any session has met. Sessions share
// it without a lock: a lost raise only costs one more retry.
extern std::atomic<std::uint32_t> gRoutePathCapacity;
inline constexpr std::uint32_t kInitialRoutePathCapacity = 32;

// Largest counts taken from the driver: path entries, and segments beyond
// the room offered (which is twice the destinations). A larger count is
// refused as a malformed reply rather than allocated.
inline constexpr std::uint32_t kMaxRouteSegments = 4096;
inline constexpr std::uint32_t kMaxRoutePathEntries = 4096;

namespace QuillUtils {

// ["inversionNeeded"]: the names of kHandledConstraints.
void getHandledConstraints(TarnRoutingAdaptorSession& session, char** answer);
// Reads the seeds, destinations and modifiers documents, asks the driver
// for the route and answers its segments; returns the ticket, or 0 when no
// route was asked for (the answer is then "[]").
std::uint32_t calculateRoute(TarnRoutingAdaptorSession& session, const char* seeds, const char* destinations,
                             const char* modifiers, char** answer);
// Answers the names of the terminals the route passes through.
void getRouteTerminalPath(TarnRoutingAdaptorSession& session, std::uint32_t ticket, char** answer);

}  // namespace QuillUtils
}  // namespace tarn
