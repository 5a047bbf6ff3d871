// The trigger router ("hostController_hostControllerTriggerRouter"):
// routes by ticket through calculated, reserved and programmed, with
// reservation conflicts between sessions and demotion notifications.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/models/tDriverModel.h"

namespace nKESTRELSIM {

class tTriggerRouterModel : public tDriverModel {
 public:
  enum class tRouteState { kCalculated, kReserved, kProgrammed };
  struct tRoute {
    std::uint64_t sessionId = 0;
    std::uint32_t seedTerminal = 0;
    std::vector<std::uint32_t> destinations;
    std::uint32_t options = 0;
    tRouteState state = tRouteState::kCalculated;
    std::uint64_t opener = 0;      // the device file that calculated it; 0 for a profile's route
    std::uint64_t reservedBy = 0;  // the device file that reserved it
  };
  // Terminal ids 1 to 11 of the topography (FLOAT, TRIG_SMB, WD_Terminal,
  // PXI_Trig0 to PXI_Trig7).
  static constexpr std::uint32_t kTerminalCount = 11;
  static constexpr std::uint32_t kFloatTerminal = 1;
  static constexpr std::uint32_t kRouterInfo = 0x00010000 | kTerminalCount;

  std::string interfaceName() const override { return nKESTREL1400::kTriggerRouterInterface; }
  void handle(tDriverRequest& request, iDriverEvents& events) override;
  // The routes calculated through a closed device file go with it; routes
  // it reserved (a profile's) go back to calculated: no reservation outlives
  // the program that made it.
  void released(std::uint64_t opener, iDriverEvents& events) override;

  void setTopographyName(std::string name) { topographyName_ = std::move(name); }
  const std::string& topographyName() const noexcept { return topographyName_; }
  const std::map<std::uint32_t, tRoute>& routes() const noexcept { return routes_; }
  // Reset mode last requested per terminal (1 floating, 0 default).
  const std::map<std::uint32_t, std::uint32_t>& terminalResets() const noexcept { return resets_; }

  // The seeds and destinations of the last calculateRoute request as the
  // driver received them, and the segment room it was offered.
  const std::vector<nKESTREL1400::nDriverWire::tRouteSeed>& lastSeeds() const noexcept { return lastSeeds_; }
  const std::vector<std::uint32_t>& lastDestinations() const noexcept { return lastDestinations_; }
  std::uint32_t lastSegmentRoom() const noexcept { return lastSegmentRoom_; }
  // The next route calculation answers `count` segments, however many it
  // has (those beyond the caller's room are not written), as a driver with
  // more to say than it was given room for would.
  void answerSegmentCount(std::uint32_t count) noexcept { segmentCountOverride_ = count; }

  // Demotes a reserved or programmed route back to calculated and delivers
  // a demotion notification (data: the ticket). False for an unknown ticket.
  bool demote(std::uint32_t ticket, iDriverEvents& events);
  // Demotes every reserved or programmed route; returns how many.
  std::size_t demoteAll(iDriverEvents& events);

  // A route as the driver holds it: the ticket is taken as given.
  void addRoute(std::uint32_t ticket, const tRoute& route);
  // A route a profile seeds: it belongs to no program, and each scripted
  // demotion (setDemotionInterval) gives it back its seeded state after
  // demoting it, as the holder outside the programs would take it again,
  // so that it is demoted at every interval for the whole run.
  void seedRoute(std::uint32_t ticket, const tRoute& route);
  // The next `times` reservations that conflict answer `count` conflicts
  // (records beyond those the model knows are made up) instead of the real
  // ones; a reservation without a real conflict still conflicts.
  void scriptConflicts(std::uint32_t count, unsigned times = 1);

  // Scripted demotions on real time: every `interval` the reserved and
  // programmed routes are demoted, and seeded routes get their seeded
  // state back. Zero stops them.
  void setDemotionInterval(std::chrono::milliseconds interval);
  std::optional<std::chrono::steady_clock::time_point> deadline() const override;
  void actIfDue(iDriverEvents& events) override;

 private:
  void calculateRoute(tDriverRequest& request);
  void changeState(tDriverRequest& request);
  void reserveRoute(tDriverRequest& request);
  void getRouteTerminalPath(tDriverRequest& request);
  void getTopographyName(tDriverRequest& request);
  void resetTerminal(tDriverRequest& request);
  void calculateResetTerminal(tDriverRequest& request);
  void getRouterInfo(tDriverRequest& request);
  std::uint32_t answeredSegmentCount(std::size_t count);
  std::vector<std::uint32_t> conflictingTickets(const tRoute& route, std::uint32_t ticket) const;
  std::vector<nKESTREL1400::nDriverWire::tReservationConflict> conflictRecords(const tRoute& route,
                                                                              std::uint32_t ticket);

  std::string topographyName_ = "pxiContTriggerRouter";
  std::map<std::uint32_t, tRoute> routes_;
  std::map<std::uint32_t, std::uint32_t> resets_;
  std::map<std::uint32_t, tRouteState> seeded_;  // by ticket
  std::uint32_t nextTicket_ = 1;
  std::uint32_t scriptedConflictCount_ = 0;
  unsigned scriptedConflictTimes_ = 0;
  std::chrono::milliseconds demotionInterval_{0};
  std::chrono::steady_clock::time_point nextDemotion_{};
  std::vector<nKESTREL1400::nDriverWire::tRouteSeed> lastSeeds_;
  std::vector<std::uint32_t> lastDestinations_;
  std::uint32_t lastSegmentRoom_ = 0;
  std::uint32_t segmentCountOverride_ = 0;
};

}  // namespace nKESTRELSIM
