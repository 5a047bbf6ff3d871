#include "sim/profile/tTriggerRouterScript.h"

#include <stdexcept>
#include <string>

#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {
namespace {

using nlohmann::json;
using tRouteState = tTriggerRouterModel::tRouteState;

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
  throw std::invalid_argument("profile: " + where + ": " + what);
}

std::uint32_t u32(const json& value, const std::string& where) {
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFFFFFFu) {
    refuse(where, "expected an unsigned 32-bit number");
  }
  return value.get<std::uint32_t>();
}

std::uint32_t number(const json& object, const char* key, const std::string& where, std::uint32_t fallback) {
  return object.contains(key) ? u32(object.at(key), where + "." + key) : fallback;
}

constexpr std::pair<const char*, tRouteState> kStateNames[] = {
    {"calculated", tRouteState::kCalculated},
    {"reserved", tRouteState::kReserved},
    {"programmed", tRouteState::kProgrammed},
};

tRouteState parseState(const json& route, const std::string& where) {
  if (!route.contains("state")) return tRouteState::kCalculated;
  for (const auto& [name, state] : kStateNames) {
    if (route.at("state") == name) return state;
  }
  refuse(where + ".state", "expected calculated, reserved or programmed");
}

tTriggerRouterScript::tSeededRoute parseRoute(const json& entry, const std::string& where) {
  if (!entry.is_object()) refuse(where, "expected an object");
  tTriggerRouterScript::tSeededRoute seeded;
  seeded.ticket = number(entry, "ticket", where, 0);
  if (seeded.ticket == 0) refuse(where + ".ticket", "a ticket from 1 up is needed");
  seeded.route.sessionId = 0;
  seeded.route.seedTerminal = number(entry, "seed", where, 2);
  if (entry.contains("destinations")) {
    if (!entry.at("destinations").is_array()) refuse(where + ".destinations", "expected an array of terminal ids");
    for (std::size_t i = 0; i < entry.at("destinations").size(); ++i) {
      seeded.route.destinations.push_back(
          u32(entry.at("destinations").at(i), where + ".destinations[" + std::to_string(i) + "]"));
    }
  }
  seeded.route.state = parseState(entry, where);
  return seeded;
}

}  // namespace

tTriggerRouterScript tTriggerRouterScript::fromJson(const json& document, const std::string& where) {
  if (!document.is_object()) refuse(where, "expected an object");
  tTriggerRouterScript script;
  if (document.contains("routes")) {
    if (!document.at("routes").is_array()) refuse(where + ".routes", "expected an array");
    for (std::size_t i = 0; i < document.at("routes").size(); ++i) {
      script.routes.push_back(parseRoute(document.at("routes").at(i), where + ".routes[" + std::to_string(i) + "]"));
    }
  }
  script.demotionIntervalMs = number(document, "demotionIntervalMs", where, 0);
  if (document.contains("conflicts")) {
    const json& conflicts = document.at("conflicts");
    if (!conflicts.is_object()) refuse(where + ".conflicts", "expected an object");
    script.conflictCount = number(conflicts, "count", where + ".conflicts", 0);
    script.conflictTimes = number(conflicts, "times", where + ".conflicts", 1);
  }
  return script;
}

void tTriggerRouterScript::apply(tSimulator& simulator) const {
  for (const tDeviceNode* node : simulator.interfaces()) {
    auto* model = dynamic_cast<tTriggerRouterModel*>(node->model.get());
    if (model == nullptr) continue;
    for (const tSeededRoute& seeded : routes) model->seedRoute(seeded.ticket, seeded.route);
    if (demotionIntervalMs != 0) model->setDemotionInterval(std::chrono::milliseconds(demotionIntervalMs));
    if (conflictTimes != 0) model->scriptConflicts(conflictCount, conflictTimes);
  }
}

}  // namespace nKESTRELSIM
