// A simulated system described in JSON, for whole programs run under
// kestrel-sim (docs/simulator.md describes the format):
//
//   { "board": "default",
//     "smbiosDump": true,
//     "interfaces": [ { "name": "hostController_hostController", "suffix": "0",
//                       "attributes": { "0x20013100": 7, "0x18000000": "text" } } ],
//     "topographyName": "pxiContTriggerRouter",
//     "triggerRouter": { "routes": [ { "ticket": 1, "destinations": [4] } ], "demotionIntervalMs": 500 },
//     "tools": { "zesafemodeversion": "#!/bin/sh\necho 1.0.0f0\n" },
//     "faults": [ { "request": "0xC0207B0B", "count": 1, "errno": 5 },
//                 { "call": "recvmsg", "count": 2, "errno": 5 } ],
//     "firmware": { "SAFEMODE": { "version": "1.2.0f4" } },   (tFirmwareProfile.h)
//     "watchdog": { "onClose": "keepRunning" } }              (or "stop")
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/profile/tFirmwareProfile.h"
#include "sim/profile/tTriggerRouterScript.h"
#include "sim/system/tFaultPlan.h"

namespace nKESTRELSIM {

class tSimulator;

struct tProfile {
  struct tInterface {
    std::string name;
    std::string suffix = "0";
    std::string driver = "kestrel";
    std::optional<std::string> interfacePath;  // raw interfacePath content instead of the node
    std::map<std::uint32_t, nlohmann::json> attributes;
  };
  // A request fault (by code), or a fault of a C library call.
  struct tFault {
    std::optional<tCall> call;
    std::uint32_t request = 0;
    unsigned count = 1;
    int error = 0;
    std::int32_t status = 0;
  };

  // A shipped board's name, a board file relative to `folder`, or "" for no SMBIOS table.
  std::string board = "default";
  // The profile file's folder, which confines the board file ("." for a
  // profile read from JSON text). Empty for a profile made in code, whose
  // board may be any path.
  std::filesystem::path folder;
  bool smbiosDump = true;
  std::vector<tInterface> interfaces;
  std::optional<std::string> topographyName;
  std::map<std::string, std::string> tools;
  std::vector<tFault> faults;
  tTriggerRouterScript triggerRouter;
  std::optional<tFirmwareProfile> firmware;
  // The watchdog when the device file that started it closes (its program
  // ended): true stops it, false (the default) lets it count down.
  bool watchdogStopsOnClose = false;

  // Throws std::invalid_argument naming the offending member.
  static tProfile fromJson(const nlohmann::json& document);
  static tProfile fromFile(const std::filesystem::path& path);
  // The four interfaces of a controller with the default board.
  static tProfile defaults();

  // Reads what the profile names (the board) as apply() would; throws
  // std::invalid_argument saying what cannot be used.
  void check() const;
  // Builds the system in the started simulator; `createFiles` false when
  // another process of the same run created the sandbox's files already.
  void apply(tSimulator& simulator, bool createFiles) const;
};

}  // namespace nKESTRELSIM
