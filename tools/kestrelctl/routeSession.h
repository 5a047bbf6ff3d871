// One routing session of kestrelctl and the routes it knows. A route ticket
// belongs to the session that calculated it: the driver destroys it, and
// releases what it reserved, when that program ends. So the session keeps
// the state of every route it calculated, and of every route whose state it
// learned by moving it, and checks each step against that state before
// anything reaches the driver; the adaptor answers unprogram, unreserve and
// destroy with nothing, so no driver answer could tell.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/routingClient.h"
#include "tools/quillhost/terminalTable.h"

namespace kestrelctl {

enum class tRouteStep { reserve, program, unprogram, unreserve, destroy };
enum class tRouteState { calculated, reserved, programmed };

const char* stepName(tRouteStep step);
const char* stateName(tRouteState state);

struct tKnownRoute {
  tRouteState state = tRouteState::calculated;
  bool calculatedHere = false;  // else a route of another program this session reserved or programmed
  // A demotion arrived after the state was learned: the driver may have
  // taken the route back to calculated.
  bool maybeDemoted = false;
};

struct tSeed {
  std::string terminal;
  std::uint32_t cost = 0;
};

struct tCalculation {
  std::uint32_t ticket = 0;
  nlohmann::json segments = nlohmann::json::array();
};

class tRouteSession {
 public:
  tRouteSession() = default;
  ~tRouteSession();
  tRouteSession(const tRouteSession&) = delete;
  tRouteSession& operator=(const tRouteSession&) = delete;

  // Opens the routing session; false after reporting why not.
  bool open();
  const std::string& devicePath() const { return client_.devicePath(); }

  // Each returns kSuccess, or the exit status after reporting the failure.
  int calculate(const std::vector<tSeed>& seeds, const std::vector<std::string>& destinations, bool ignoreReservations,
                tCalculation& result);
  int step(tRouteStep step, std::uint32_t ticket);
  int path(std::uint32_t ticket, std::vector<std::string>& terminals);
  int terminals(std::vector<quillhost::tTerminalRow>& rows);

  // Ends every route this session holds: its own routes are destroyed,
  // others' reservations it made are released. The tickets it ended.
  std::vector<std::uint32_t> release();

  const std::map<std::uint32_t, tKnownRoute>& routes() const { return routes_; }
  std::optional<std::uint32_t> lastTicket() const { return lastTicket_; }
  // A descriptor that becomes readable when the driver demotes a route.
  int demotionDescriptor() const { return demotionEvents_; }
  // The demotions that arrived since the last call; marks the routes this
  // session reserved or programmed as maybe demoted (the driver does not
  // say which route it demoted).
  unsigned takeDemotions();

 private:
  static void onDemotion(void* context, std::int32_t event, tStatusReport* report);
  int checkNames(const std::vector<tSeed>& seeds, const std::vector<std::string>& destinations);
  int checkStep(tRouteStep step, std::uint32_t ticket);
  int checkOtherRoute(tRouteStep step, std::uint32_t ticket);
  int send(tRouteStep step, std::uint32_t ticket);
  int reserve(std::uint32_t ticket);
  int destroy(std::uint32_t ticket);
  bool exists(std::uint32_t ticket);

  tRoutingClient client_;
  std::map<std::uint32_t, tKnownRoute> routes_;
  std::optional<std::uint32_t> lastTicket_;
  std::optional<std::vector<quillhost::tTerminalRow>> terminals_;
  std::atomic<unsigned> demotions_{0};
  unsigned demotionsSeen_ = 0;
  int demotionEvents_ = -1;  // an eventfd the demotion callback writes
};

}  // namespace kestrelctl
