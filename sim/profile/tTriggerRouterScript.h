// The trigger router's part of a profile: routes that exist from the start
// (with their tickets and states), scripted demotions and conflicts.
//
//   "triggerRouter": {
//     "routes": [ { "ticket": 1, "seed": 2, "destinations": [4, 5], "state": "programmed" } ],
//     "demotionIntervalMs": 500,
//     "conflicts": { "count": 10, "times": 1 } }
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/models/tTriggerRouterModel.h"

namespace nKESTRELSIM {

class tSimulator;

struct tTriggerRouterScript {
  struct tSeededRoute {
    std::uint32_t ticket = 0;
    tTriggerRouterModel::tRoute route;
  };
  std::vector<tSeededRoute> routes;
  std::uint32_t demotionIntervalMs = 0;
  std::uint32_t conflictCount = 0;
  unsigned conflictTimes = 0;

  // Throws std::invalid_argument naming the offending member.
  static tTriggerRouterScript fromJson(const nlohmann::json& document, const std::string& where);
  // Applies the script to every trigger router of the started simulator.
  void apply(tSimulator& simulator) const;
};

}  // namespace nKESTRELSIM
