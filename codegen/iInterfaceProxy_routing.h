// Requests of the trigger-router interface.
#pragma once

#include <cstdint>

#include "platform/driverWireFormat.h"
#include "platform/iInterfaceProxy.h"

namespace nKESTREL1400 {

class iInterfaceProxy_routing : public virtual nBRIO000::iInterfaceProxy {
 public:
  virtual void getRouterInfo(std::uint32_t& value, tStatus& status) noexcept = 0;
  // Returns the route's ticket (0 when the request failed in transport).
  virtual std::uint32_t calculateRoute(std::uint64_t sessionId, const nDriverWire::tRouteSeed* seeds,
                                       std::uint32_t seedsCount, const std::uint32_t* destinations,
                                       std::uint32_t destinationsCount, std::uint32_t options,
                                       nDriverWire::tRouteSegment* results, std::uint32_t& resultsCount,
                                       tStatus& status) noexcept = 0;
  virtual void destroyRoute(std::uint32_t ticket, tStatus& status) noexcept = 0;
  virtual void reserveRoute(std::uint32_t ticket, nDriverWire::tReservationConflict* conflicts,
                            std::uint32_t& conflictsCount, tStatus& status) noexcept = 0;
  virtual void programRoute(std::uint32_t ticket, tStatus& status) noexcept = 0;
  virtual void unreserveRoute(std::uint32_t ticket, tStatus& status) noexcept = 0;
  virtual void unprogramRoute(std::uint32_t ticket, tStatus& status) noexcept = 0;
  virtual void getRouteTerminalPath(std::uint32_t ticket, std::uint32_t* path, std::uint32_t& pathCount,
                                    tStatus& status) noexcept = 0;
  virtual void getTopographyName(char* name, std::uint32_t nameSize, tStatus& status) noexcept = 0;
  // floating: 1 for the reset mode "floating", 0 for "default".
  virtual void resetTerminal(std::uint32_t terminal, std::uint32_t floating, tStatus& status) noexcept = 0;
  // Returns the driver's terminal value (0 when the request failed in transport).
  virtual std::uint32_t calculateResetTerminal(std::uint64_t sessionId, std::uint32_t terminal,
                                               std::uint32_t floating, tStatus& status) noexcept = 0;
};

}  // namespace nKESTREL1400
