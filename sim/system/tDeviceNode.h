// One simulated device interface instance: its directory under
// /proc/driver/ze, its device node and the driver model behind it.
#pragma once

#include <memory>
#include <string>

#include "sim/models/tDriverModel.h"

namespace nKESTRELSIM {

struct tDeviceNode {
  std::string interfaceName;
  std::string suffix;
  std::string driver;
  std::string directory;   // as the program sees it: /proc/driver/ze/<driver>/deviceInterfaces/<name>\<suffix>
  std::string devicePath;  // as the program sees it, also the interfacePath content by default
  std::unique_ptr<tDriverModel> model;
};

// The model for one of the four interface names; other names get none
// (their requests fail with ENOTTY).
std::unique_ptr<tDriverModel> makeModel(const std::string& interfaceName);

}  // namespace nKESTRELSIM
