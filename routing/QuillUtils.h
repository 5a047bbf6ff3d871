// Route requests: the session operations that read and write JSON documents.
#pragma once

#include <cstdint>

namespace tarn {

class TarnRoutingAdaptorSession;

namespace QuillUtils {

void getHandledConstraints(TarnRoutingAdaptorSession& session, char** answer);
std::uint32_t calculateRoute(TarnRoutingAdaptorSession& session, const char* seeds, const char* destinations,
                             const char* modifiers, char** answer);
void getRouteTerminalPath(TarnRoutingAdaptorSession& session, std::uint32_t ticket, char** answer);

}  // namespace QuillUtils
}  // namespace tarn
