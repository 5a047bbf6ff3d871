#include "codegen/tInterfaceProxy_routing.h"

#include "codegen/generatedRequest.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tInterfaceProxy_routing";

}  // namespace

using namespace nDriverWire;

void tInterfaceProxy_routing::getRouterInfo(std::uint32_t& value, tStatus& status) noexcept {
  if (status.isError()) return;
  tStatusInput input{statusIn(status)};
  tValueOutput output{};
  if (!sendRequest(*this, kGetRouterInfo, input, output, status)) return;
  value = output.value;
  storeDriverStatus(status, output.status, kFile, 61);
}

std::uint32_t tInterfaceProxy_routing::calculateRoute(std::uint64_t sessionId, const tRouteSeed* seeds,
                                                      std::uint32_t seedsCount, const std::uint32_t* destinations,
                                                      std::uint32_t destinationsCount, std::uint32_t options,
                                                      tRouteSegment* results, std::uint32_t& resultsCount,
                                                      tStatus& status) noexcept {
  if (status.isError()) return 0;
  tCalculateRouteInput input{sessionId,          addressOf(seeds),   seedsCount,   0,
                             addressOf(destinations), destinationsCount, options, addressOf(results),
                             resultsCount,       statusIn(status)};
  tCalculateRouteOutput output{};
  if (!sendRequest(*this, kCalculateRoute, input, output, status)) return 0;
  resultsCount = output.resultsCount;
  storeDriverStatus(status, output.status, kFile, 97);
  return output.ticket;
}

void tInterfaceProxy_routing::destroyRoute(std::uint32_t ticket, tStatus& status) noexcept {
  ticketRequest(kDestroyRoute, ticket, status, 125);
}

void tInterfaceProxy_routing::reserveRoute(std::uint32_t ticket, tReservationConflict* conflicts,
                                           std::uint32_t& conflictsCount, tStatus& status) noexcept {
  ticketArrayRequest(kReserveRoute, ticket, conflicts, conflictsCount, status, 154);
}

void tInterfaceProxy_routing::programRoute(std::uint32_t ticket, tStatus& status) noexcept {
  ticketRequest(kProgramRoute, ticket, status, 180);
}

void tInterfaceProxy_routing::unreserveRoute(std::uint32_t ticket, tStatus& status) noexcept {
  ticketRequest(kUnreserveRoute, ticket, status, 206);
}

void tInterfaceProxy_routing::unprogramRoute(std::uint32_t ticket, tStatus& status) noexcept {
  ticketRequest(kUnprogramRoute, ticket, status, 232);
}

void tInterfaceProxy_routing::getRouteTerminalPath(std::uint32_t ticket, std::uint32_t* path,
                                                   std::uint32_t& pathCount, tStatus& status) noexcept {
  ticketArrayRequest(kGetRouteTerminalPath, ticket, path, pathCount, status, 261);
}

void tInterfaceProxy_routing::getTopographyName(char* name, std::uint32_t nameSize, tStatus& status) noexcept {
  if (status.isError()) return;
  tBufferInput input{addressOf(name), nameSize, statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(*this, kGetTopographyName, input, output, status)) return;
  storeDriverStatus(status, output.status, kFile, 288);
}

void tInterfaceProxy_routing::resetTerminal(std::uint32_t terminal, std::uint32_t floating,
                                            tStatus& status) noexcept {
  if (status.isError()) return;
  tResetTerminalInput input{terminal, floating, statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(*this, kResetTerminal, input, output, status)) return;
  storeDriverStatus(status, output.status, kFile, 315);
}

std::uint32_t tInterfaceProxy_routing::calculateResetTerminal(std::uint64_t sessionId, std::uint32_t terminal,
                                                              std::uint32_t floating, tStatus& status) noexcept {
  if (status.isError()) return 0;
  tCalculateResetTerminalInput input{sessionId, terminal, floating, statusIn(status), 0};
  tValueOutput output{};
  if (!sendRequest(*this, kCalculateResetTerminal, input, output, status)) return 0;
  storeDriverStatus(status, output.status, kFile, 345);
  return output.value;
}

void tInterfaceProxy_routing::ticketRequest(std::uint32_t request, std::uint32_t ticket, tStatus& status,
                                            std::uint32_t line) noexcept {
  if (status.isError()) return;
  tTicketInput input{ticket, statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(*this, request, input, output, status)) return;
  storeDriverStatus(status, output.status, kFile, line);
}

void tInterfaceProxy_routing::ticketArrayRequest(std::uint32_t request, std::uint32_t ticket, void* entries,
                                                 std::uint32_t& count, tStatus& status, std::uint32_t line) noexcept {
  if (status.isError()) return;
  tTicketArrayInput input{ticket, 0, addressOf(entries), count, statusIn(status)};
  tValueOutput output{};
  if (!sendRequest(*this, request, input, output, status)) return;
  count = output.value;
  storeDriverStatus(status, output.status, kFile, line);
}

}  // namespace nKESTREL1400
