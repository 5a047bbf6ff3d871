// kestrelctl firmware: inspect and pack update files (no controller
// needed), show the installed versions, and update.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrelctl {

struct tFirmwareRequest {
  bool json = false;
  std::string file;                 // inspect, update: the update file; pack: the output file
  std::string target;               // pack
  std::string version;              // pack
  std::vector<std::string> images;  // pack
  bool force = false;               // update
};

int runFirmwareInspect(const tFirmwareRequest& request);
int runFirmwarePack(const tFirmwareRequest& request);
int runFirmwareStatus(const tFirmwareRequest& request);
int runFirmwareUpdate(const tFirmwareRequest& request);

}  // namespace kestrelctl
