// Proxy of the trigger-router interface.
#pragma once

#include "codegen/iInterfaceProxy_routing.h"
#include "platform/tDeviceInterfaceProxy.h"

namespace nKESTREL1400 {

class tInterfaceProxy_routing : public nBRIO000::tDeviceInterfaceProxy, public iInterfaceProxy_routing {
 public:
  void getRouterInfo(std::uint32_t& value, tStatus& status) noexcept override;
  std::uint32_t calculateRoute(std::uint64_t sessionId, const nDriverWire::tRouteSeed* seeds,
                               std::uint32_t seedsCount, const std::uint32_t* destinations,
                               std::uint32_t destinationsCount, std::uint32_t options,
                               nDriverWire::tRouteSegment* results, std::uint32_t& resultsCount,
                               tStatus& status) noexcept override;
  void destroyRoute(std::uint32_t ticket, tStatus& status) noexcept override;
  void reserveRoute(std::uint32_t ticket, nDriverWire::tReservationConflict* conflicts, std::uint32_t& conflictsCount,
                    tStatus& status) noexcept override;
  void programRoute(std::uint32_t ticket, tStatus& status) noexcept override;
  void unreserveRoute(std::uint32_t ticket, tStatus& status) noexcept override;
  void unprogramRoute(std::uint32_t ticket, tStatus& status) noexcept override;
  void getRouteTerminalPath(std::uint32_t ticket, std::uint32_t* path, std::uint32_t& pathCount,
                            tStatus& status) noexcept override;
  void getTopographyName(char* name, std::uint32_t nameSize, tStatus& status) noexcept override;
  void resetTerminal(std::uint32_t terminal, std::uint32_t floating, tStatus& status) noexcept override;
  std::uint32_t calculateResetTerminal(std::uint64_t sessionId, std::uint32_t terminal, std::uint32_t floating,
                                       tStatus& status) noexcept override;

 private:
  void ticketRequest(std::uint32_t request, std::uint32_t ticket, tStatus& status, std::uint32_t line) noexcept;
  void ticketArrayRequest(std::uint32_t request, std::uint32_t ticket, void* entries, std::uint32_t& count,
                          tStatus& status, std::uint32_t line) noexcept;
};

}  // namespace nKESTREL1400
