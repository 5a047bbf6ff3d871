// What is installed on the controller, read through the public interface,
// and the safe-mode version tool.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/controllerClient.h"

namespace kestrelctl {

struct tInstalledFirmware {
  tResult<std::string> bios;             // the BIOS version in SMBIOS, as the BIOS reported it at its start
  bool companionPresent = false;
  tResult<std::string> companion;        // the companion chip's firmware version, when present
  tResult<std::string> biosRecord;       // the companion chip's record of the BIOS version, when present
  std::optional<std::string> safeMode;   // nothing without the safe-mode tools
  tResult<std::uint32_t> updateAllowed;  // 1 when the board lets firmware be updated

  static tInstalledFirmware read(const tControllerClient& controller);
  nlohmann::json toJson() const;
  // The versions as lines of text.
  void print() const;
};

}  // namespace kestrelctl
