#include "routing/QuillUtils.h"

#include <algorithm>
#include <cstdio>

#include "kestrel/kestrel.h"
#include "platform/tStatus.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"
#include "routing/TarnRoutingAdaptor.h"
#include "routing/handledConstraintTable.h"
#include "routing/routeRequestDocuments.h"
#include "routing/routeAnswers.h"
#include "routing/routingFailure.h"
#include "routing/tAnswerBuffer.h"

namespace tarn {

std::atomic<std::uint32_t> gRoutePathCapacity{kInitialRoutePathCapacity};

namespace {

using namespace nKESTREL1400;
using nDriverWire::tRouteSegment;

constexpr kSourceLocation kHandledConstraintsNoMemory{"QuillUtils", 128};
constexpr kSourceLocation kTooManySegments{"QuillUtils", 142};
constexpr kSourceLocation kTooManyPathEntries{"QuillUtils", 151};
constexpr char kNoRoute[] = "[]";

// A count no route can have is a malformed reply, not an array to allocate.
void checkDriverCount(std::uint32_t count, std::uint32_t limit, const kSourceLocation& location, const char* what) {
  if (count <= limit) return;
  char text[96];
  std::snprintf(text, sizeof text, "the driver reported %u %s, more than %u", count, what, limit);
  raiseFailure(brioerr_ioFailure, location, "brioerr_ioFailure", text);
}

void raiseTo(std::atomic<std::uint32_t>& capacity, std::uint32_t count) noexcept {
  std::uint32_t current = capacity.load(std::memory_order_relaxed);
  while (current < count && !capacity.compare_exchange_weak(current, count, std::memory_order_relaxed)) {
  }
}

void deliver(TarnRoutingAdaptorSession& session, char** answer, const tAnswerBuffer& buffer) {
  session.deliverAnswer(answer, buffer.text(), buffer.size());
}

// The driver's segments for the request; "[]" is delivered when the driver
// refuses it or answers a count no route can have, and the failure raised.
using tSegments = tInlineArray<tRouteSegment, 32>;

std::uint32_t requestSegments(TarnRoutingAdaptorSession& session, const tRouteRequest& request, tSegments& segments,
                              char** answer) {
  segments.resize(2 * request.destinations.size());
  auto count = static_cast<std::uint32_t>(segments.size());
  tStatus status;
  const std::uint32_t ticket = session.routingProxy().calculateRoute(
      session.sessionId(), request.seeds.data(), static_cast<std::uint32_t>(request.seeds.size()),
      request.destinations.data(), static_cast<std::uint32_t>(request.destinations.size()),
      request.modifiers.options, segments.data(), count, status);
  if (status.isError()) {
    session.deliverAnswer(answer, kNoRoute, sizeof kNoRoute);
    status.throwIfError();
  }
  const std::uint32_t limit = std::max(kMaxRouteSegments, static_cast<std::uint32_t>(segments.size()));
  if (count > limit) {
    session.deliverAnswer(answer, kNoRoute, sizeof kNoRoute);
    checkDriverCount(count, limit, kTooManySegments, "route segments");
  }
  segments.resize(count);
  return ticket;
}

// Asks for the path with `path` as room; false when the room is too small
// (the count the driver needs is then in `count`).
bool requestPath(TarnRoutingAdaptorSession& session, std::uint32_t ticket, tInlineArray<std::uint32_t, 32>& path,
                 std::uint32_t& count, bool retry) {
  count = static_cast<std::uint32_t>(path.size());
  tStatus status;
  session.routingProxy().getRouteTerminalPath(ticket, path.data(), count, status);
  if (!retry && status.getCode() == brioerr_noBuffers) return false;
  status.throwIfError();
  return true;
}

}  // namespace

namespace QuillUtils {

void getHandledConstraints(TarnRoutingAdaptorSession& session, char** answer) {
  tAnswerBuffer buffer;
  for (const tHandledConstraint& row : kHandledConstraints) {
    jsonz_addString(buffer.end(), nullptr, row.name, buffer.grow());
  }
  try {
    deliver(session, answer, buffer);
  } catch (const zeerr::ExceptionBase& failure) {
    if (failure.statusReport().code != brioerr_memoryFull) throw;
    raiseFailure(brioerr_memoryFull, kHandledConstraintsNoMemory, "brioerr_memoryFull");
  }
}

std::uint32_t calculateRoute(TarnRoutingAdaptorSession& session, const char* seeds, const char* destinations,
                             const char* modifiers, char** answer) {
  const tTerminalNames& names = session.terminalNames();
  tRouteRequest request;
  readSeeds(seeds, names, request);
  readDestinations(destinations, names, request);
  readModifiers(modifiers, request.modifiers);
  if (request.seeds.empty() || request.destinations.empty() || request.modifiers.unsatisfiable) {
    session.deliverAnswer(answer, kNoRoute, sizeof kNoRoute);
    return 0;
  }
  tSegments segments;
  const std::uint32_t ticket = requestSegments(session, request, segments, answer);
  // Written once, straight into the framework's memory at the size the
  // writer's buffer would have grown to, unless a name needs escaping.
  if (const std::size_t length = plainSegmentsAnswerLength(names, segments.data(), segments.size())) {
    char* memory = session.answerMemory(answer, tAnswerBuffer::sizeFor(length));
    writePlainSegmentsAnswer(memory, names, segments.data(), segments.size());
    return ticket;
  }
  tAnswerBuffer buffer;
  writeSegmentsAnswer(buffer, names, segments.data(), segments.size());
  deliver(session, answer, buffer);
  return ticket;
}

void getRouteTerminalPath(TarnRoutingAdaptorSession& session, std::uint32_t ticket, char** answer) {
  tInlineArray<std::uint32_t, 32> path(gRoutePathCapacity.load(std::memory_order_relaxed));
  std::uint32_t count = 0;
  if (!requestPath(session, ticket, path, count, false)) {
    checkDriverCount(count, kMaxRoutePathEntries, kTooManyPathEntries, "path entries");
    path.resize(count);
    raiseTo(gRoutePathCapacity, count);
    requestPath(session, ticket, path, count, true);
  }
  checkDriverCount(count, kMaxRoutePathEntries, kTooManyPathEntries, "path entries");
  path.resize(count);
  tAnswerBuffer buffer;
  writePathAnswer(buffer, session.terminalNames(), path.data(), path.size());
  deliver(session, answer, buffer);
}

}  // namespace QuillUtils
}  // namespace tarn
