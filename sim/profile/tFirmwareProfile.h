// The "firmware" member of a profile: how the simulated system answers
// firmware updates per target.
//
//   "firmware": {
//     "BIOS":     { "status": -52024 },               // driver status of every BIOS update
//     "MARTEN":   { "errno": 5 },                     // every companion update request fails
//     "SAFEMODE": { "version": "1.2.0f4",             // zesafemodeversion exists and prints this
//                   "exitStatus": 1 } }               // what zeinstallsafemode answers
//
// Without "SAFEMODE" the system has no safe-mode tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace nKESTRELSIM {

class tSimulator;

struct tFirmwareProfile {
  struct tDriverTarget {
    std::int32_t status = 0;
    int error = 0;
  };
  struct tSafeMode {
    std::optional<std::string> version;
    int exitStatus = 0;
  };

  tDriverTarget bios;
  tDriverTarget marten;
  std::optional<tSafeMode> safeMode;

  // Throws std::invalid_argument naming the offending member.
  static tFirmwareProfile fromJson(const nlohmann::json& member);
  void apply(tSimulator& simulator, bool createFiles) const;
};

}  // namespace nKESTRELSIM
