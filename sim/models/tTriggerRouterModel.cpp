#include "sim/models/tTriggerRouterModel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

bool isTerminal(std::uint32_t id) { return id >= 1 && id <= tTriggerRouterModel::kTerminalCount; }

template <class Entry>
std::vector<Entry> readEntries(std::uint64_t address, std::uint32_t count) {
  std::vector<Entry> entries(count);
  const auto bytes = copyFromUser(address, count * sizeof(Entry));
  if (!bytes.empty()) std::memcpy(entries.data(), bytes.data(), bytes.size());
  return entries;
}

template <class Entry>
void writeEntries(std::uint64_t address, const std::vector<Entry>& entries, std::uint32_t capacity) {
  const std::size_t count = std::min<std::size_t>(entries.size(), capacity);
  copyToUser(address, entries.data(), count * sizeof(Entry));
}

// The cheapest valid seed that is not the destination itself.
int bestSeed(const std::vector<tRouteSeed>& seeds, std::uint32_t destination) {
  int best = -1;
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const tRouteSeed& seed = seeds[i];
    if (!isTerminal(seed.terminalId) || seed.terminalId == destination) continue;
    if (best < 0 || seed.cost < seeds[static_cast<std::size_t>(best)].cost) best = static_cast<int>(i);
  }
  return best;
}

// One hop costs 1 on top of the seed's cost; the most a cost can be stays
// the most, instead of wrapping round to a cheap route.
std::uint32_t segmentCost(std::uint32_t seedCost) {
  return seedCost == std::numeric_limits<std::uint32_t>::max() ? seedCost : seedCost + 1;
}

}  // namespace

void tTriggerRouterModel::handle(tDriverRequest& request, iDriverEvents& /*events*/) {
  switch (request.code) {
    case kGetRouterInfo: return getRouterInfo(request);
    case kCalculateRoute: return calculateRoute(request);
    case kDestroyRoute:
    case kProgramRoute:
    case kUnreserveRoute:
    case kUnprogramRoute: return changeState(request);
    case kReserveRoute: return reserveRoute(request);
    case kGetRouteTerminalPath: return getRouteTerminalPath(request);
    case kGetTopographyName: return getTopographyName(request);
    case kResetTerminal: return resetTerminal(request);
    case kCalculateResetTerminal: return calculateResetTerminal(request);
    default: request.error = ENOTTY;
  }
}

void tTriggerRouterModel::getRouterInfo(tDriverRequest& request) {
  tStatusInput input{};
  if (request.readInput(input)) request.writeOutput(tValueOutput{kRouterInfo, 0});
}

// One segment per destination from the cheapest seed (cost + 1, at most
// 0xFFFFFFFF). A
// destination no seed reaches fails the request with -52005. The count is
// answered in full; segments beyond the caller's room are not written.
void tTriggerRouterModel::calculateRoute(tDriverRequest& request) {
  tCalculateRouteInput input{};
  if (!request.readInput(input)) return;
  const auto seeds = readEntries<tRouteSeed>(input.seedsAddress, input.seedsCount);
  const auto destinations = readEntries<std::uint32_t>(input.destinationsAddress, input.destinationsCount);
  lastSeeds_ = seeds;
  lastDestinations_ = destinations;
  lastSegmentRoom_ = input.resultsCount;
  const std::uint32_t ticket = nextTicket_;
  tRoute route{input.sessionId, 0, {}, input.options, tRouteState::kCalculated, request.opener};
  std::vector<tRouteSegment> segments;
  for (const std::uint32_t destination : destinations) {
    const int seed = isTerminal(destination) ? bestSeed(seeds, destination) : -1;
    if (seed < 0) {
      request.writeOutput(tCalculateRouteOutput{0, 0, brioerr_invalidParameter});
      return;
    }
    const tRouteSeed& from = seeds[static_cast<std::size_t>(seed)];
    segments.push_back(tRouteSegment{ticket, destination, segmentCost(from.cost), static_cast<std::uint32_t>(seed),
                                     from.inversionNeeded, {}});
    route.seedTerminal = from.terminalId;
    route.destinations.push_back(destination);
  }
  if (segments.empty()) {
    request.writeOutput(tCalculateRouteOutput{0, 0, brioerr_invalidParameter});
    return;
  }
  writeEntries(input.resultsAddress, segments, input.resultsCount);
  routes_[ticket] = route;
  ++nextTicket_;
  request.writeOutput(tCalculateRouteOutput{ticket, answeredSegmentCount(segments.size()), 0});
}

void tTriggerRouterModel::released(std::uint64_t opener, iDriverEvents& /*events*/) {
  if (opener == 0) return;
  std::erase_if(routes_, [&](const auto& entry) { return entry.second.opener == opener; });
  for (auto& [ticket, route] : routes_) {
    if (route.reservedBy == opener) route.state = tRouteState::kCalculated;
  }
}

// destroy, program, unreserve and unprogram: each needs the route in the
// state it leaves; anything else is refused with -52005.
void tTriggerRouterModel::changeState(tDriverRequest& request) {
  tTicketInput input{};
  if (!request.readInput(input)) return;
  const auto found = routes_.find(input.ticket);
  std::int32_t status = brioerr_invalidParameter;
  if (found != routes_.end()) {
    tRouteState& state = found->second.state;
    if (request.code == kDestroyRoute) {
      routes_.erase(found);
      status = 0;
    } else if (request.code == kProgramRoute && state == tRouteState::kReserved) {
      state = tRouteState::kProgrammed;
      status = 0;
    } else if (request.code == kUnprogramRoute && state == tRouteState::kProgrammed) {
      state = tRouteState::kReserved;
      status = 0;
    } else if (request.code == kUnreserveRoute && state == tRouteState::kReserved) {
      state = tRouteState::kCalculated;
      status = 0;
    }
  }
  request.writeOutput(tStatusOutput{status});
}

std::vector<std::uint32_t> tTriggerRouterModel::conflictingTickets(const tRoute& route, std::uint32_t ticket) const {
  std::vector<std::uint32_t> conflicts;
  for (const auto& entry : routes_) {
    const tRoute& other = entry.second;
    // Session ids are the library's own: programs (device files) may repeat them.
    const bool sameSession = other.sessionId == route.sessionId &&
                             (other.opener == 0 || route.opener == 0 || other.opener == route.opener);
    if (entry.first == ticket || sameSession || other.state == tRouteState::kCalculated) {
      continue;
    }
    const bool shares = std::any_of(route.destinations.begin(), route.destinations.end(), [&](std::uint32_t line) {
      return std::find(other.destinations.begin(), other.destinations.end(), line) != other.destinations.end();
    });
    if (shares) conflicts.push_back(entry.first);
  }
  return conflicts;
}

std::vector<tReservationConflict> tTriggerRouterModel::conflictRecords(const tRoute& route, std::uint32_t ticket) {
  std::vector<tReservationConflict> conflicts;
  for (const std::uint32_t other : conflictingTickets(route, ticket)) {
    conflicts.push_back({routes_.at(other).sessionId, other, 0});
  }
  if (scriptedConflictTimes_ == 0) return conflicts;
  --scriptedConflictTimes_;
  // Made-up holders: sessions the process does not know, tickets from 1000.
  for (std::uint32_t i = static_cast<std::uint32_t>(conflicts.size()); i < scriptedConflictCount_ && i < 64; ++i) {
    conflicts.push_back({0x5E5510000000ull + i, 1000 + i, 0});
  }
  conflicts.resize(std::min<std::size_t>(conflicts.size(), scriptedConflictCount_));
  return conflicts;
}

// Another session's reservation on a shared destination is a conflict:
// the conflicts are answered (count in full, records as far as the
// caller's room goes) with -89137.
void tTriggerRouterModel::reserveRoute(tDriverRequest& request) {
  tTicketArrayInput input{};
  if (!request.readInput(input)) return;
  const auto found = routes_.find(input.ticket);
  if (found == routes_.end() || found->second.state != tRouteState::kCalculated) {
    request.writeOutput(tValueOutput{0, brioerr_invalidParameter});
    return;
  }
  const bool scripted = scriptedConflictTimes_ != 0;
  const std::uint32_t scriptedCount = scriptedConflictCount_;
  const auto conflicts = conflictRecords(found->second, input.ticket);
  if (!conflicts.empty() || (scripted && scriptedCount != 0)) {
    writeEntries(input.address, conflicts, input.count);
    const auto count = scripted ? scriptedCount : static_cast<std::uint32_t>(conflicts.size());
    request.writeOutput(tValueOutput{count, quillerr_reservationConflict});
    return;
  }
  found->second.state = tRouteState::kReserved;
  found->second.reservedBy = request.opener;
  request.writeOutput(tValueOutput{0, 0});
}

// The path is the seed terminal followed by the destinations; a path that
// does not fit answers its length with -52019.
void tTriggerRouterModel::getRouteTerminalPath(tDriverRequest& request) {
  tTicketArrayInput input{};
  if (!request.readInput(input)) return;
  const auto found = routes_.find(input.ticket);
  if (found == routes_.end()) {
    request.writeOutput(tValueOutput{0, brioerr_invalidParameter});
    return;
  }
  std::vector<std::uint32_t> path{found->second.seedTerminal};
  path.insert(path.end(), found->second.destinations.begin(), found->second.destinations.end());
  const auto count = static_cast<std::uint32_t>(path.size());
  if (count > input.count) {
    request.writeOutput(tValueOutput{count, brioerr_noBuffers});
    return;
  }
  writeEntries(input.address, path, input.count);
  request.writeOutput(tValueOutput{count, 0});
}

void tTriggerRouterModel::getTopographyName(tDriverRequest& request) {
  tBufferInput input{};
  if (!request.readInput(input)) return;
  const std::size_t needed = topographyName_.size() + 1;
  if (needed > input.size) {
    request.writeOutput(tStatusOutput{brioerr_noBuffers});
    return;
  }
  copyToUser(input.address, topographyName_.c_str(), needed);
  request.writeOutput(tStatusOutput{0});
}

void tTriggerRouterModel::resetTerminal(tDriverRequest& request) {
  tResetTerminalInput input{};
  if (!request.readInput(input)) return;
  if (!isTerminal(input.terminal) || input.floating > 1) {
    request.writeOutput(tStatusOutput{brioerr_invalidParameter});
    return;
  }
  resets_[input.terminal] = input.floating;
  request.writeOutput(tStatusOutput{0});
}

// The terminal that drives the line after a reset: FLOAT when floating,
// the terminal itself otherwise.
void tTriggerRouterModel::calculateResetTerminal(tDriverRequest& request) {
  tCalculateResetTerminalInput input{};
  if (!request.readInput(input)) return;
  if (!isTerminal(input.terminal)) {
    request.writeOutput(tValueOutput{0, brioerr_invalidParameter});
    return;
  }
  request.writeOutput(tValueOutput{input.floating != 0 ? kFloatTerminal : input.terminal, 0});
}

std::uint32_t tTriggerRouterModel::answeredSegmentCount(std::size_t count) {
  const std::uint32_t answered = segmentCountOverride_ != 0 ? segmentCountOverride_ : static_cast<std::uint32_t>(count);
  segmentCountOverride_ = 0;
  return answered;
}

bool tTriggerRouterModel::demote(std::uint32_t ticket, iDriverEvents& events) {
  const auto found = routes_.find(ticket);
  if (found == routes_.end()) return false;
  found->second.state = tRouteState::kCalculated;
  std::uint8_t data[sizeof ticket];
  std::memcpy(data, &ticket, sizeof ticket);
  events.notify(kDemotionNotificationId, data);
  return true;
}

std::size_t tTriggerRouterModel::demoteAll(iDriverEvents& events) {
  std::size_t demoted = 0;
  for (const auto& [ticket, route] : routes_) {
    if (route.state == tRouteState::kCalculated) continue;
    demote(ticket, events);
    ++demoted;
  }
  return demoted;
}

void tTriggerRouterModel::addRoute(std::uint32_t ticket, const tRoute& route) {
  routes_[ticket] = route;
  nextTicket_ = std::max(nextTicket_, ticket + 1);
}

void tTriggerRouterModel::seedRoute(std::uint32_t ticket, const tRoute& route) {
  addRoute(ticket, route);
  seeded_[ticket] = route.state;
}

void tTriggerRouterModel::scriptConflicts(std::uint32_t count, unsigned times) {
  scriptedConflictCount_ = count;
  scriptedConflictTimes_ = times;
}

void tTriggerRouterModel::setDemotionInterval(std::chrono::milliseconds interval) {
  demotionInterval_ = interval;
  nextDemotion_ = std::chrono::steady_clock::now() + interval;
}

std::optional<std::chrono::steady_clock::time_point> tTriggerRouterModel::deadline() const {
  if (demotionInterval_.count() <= 0) return std::nullopt;
  return nextDemotion_;
}

void tTriggerRouterModel::actIfDue(iDriverEvents& events) {
  if (demotionInterval_.count() <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextDemotion_) return;
  demoteAll(events);
  // Every route is calculated now: a seeded one takes no line a program holds.
  std::erase_if(seeded_, [this](const auto& entry) { return routes_.count(entry.first) == 0; });
  for (const auto& [ticket, state] : seeded_) {
    tRoute& route = routes_.at(ticket);
    route.state = state;
    route.reservedBy = 0;
  }
  nextDemotion_ = now + demotionInterval_;
}

}  // namespace nKESTRELSIM
