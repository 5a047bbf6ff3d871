#include "tools/kestrelctl/installedFirmware.h"

#include <kestrel/kestrel_status.h>
#include <sys/stat.h>

#include <cstdio>

#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

constexpr char kVersionTool[] = "/usr/local/zecorp/bin/zesafemodeversion";

// The first line the version tool prints.
std::optional<std::string> safeModeVersion() {
  struct stat tool {};
  if (stat(kVersionTool, &tool) != 0) return std::nullopt;
  FILE* output = popen(kVersionTool, "r");
  if (output == nullptr) return std::string();
  char line[256] = {};
  if (std::fgets(line, sizeof line, output) == nullptr) line[0] = '\0';
  pclose(output);
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

nlohmann::json textOrNull(const tResult<std::string>& result) {
  return result.ok() ? nlohmann::json(result.value) : nlohmann::json();
}

std::string shown(const tResult<std::string>& result) {
  return result.ok() ? result.value : std::string("n/a (") + kestrelStatusName(result.code) + ")";
}

}  // namespace

tInstalledFirmware tInstalledFirmware::read(const tControllerClient& controller) {
  tInstalledFirmware installed;
  installed.bios = controller.readText(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS);
  const auto interfaces = controller.readU32(KESTREL_ATTR_INTERFACES_PRESENT);
  installed.companionPresent = interfaces.ok() && (interfaces.value & KESTREL_INTERFACE_COMPANION) != 0;
  if (installed.companionPresent) {
    installed.companion = controller.readText(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION);
    installed.biosRecord = controller.readText(KESTREL_ATTR_BIOS_VERSION);
  }
  installed.safeMode = safeModeVersion();
  installed.updateAllowed = controller.readU32(KESTREL_ATTR_FEATURE_ENABLED);
  return installed;
}

nlohmann::json tInstalledFirmware::toJson() const {
  nlohmann::json gate = nullptr;
  if (updateAllowed.ok()) gate = updateAllowed.value == 1;
  return {{"biosVersion", textOrNull(bios)},
          {"companionPresent", companionPresent},
          {"companionFirmwareVersion", companionPresent ? textOrNull(companion) : nlohmann::json()},
          {"companionBiosVersionRecord", companionPresent ? textOrNull(biosRecord) : nlohmann::json()},
          {"safeModeVersion", safeMode ? nlohmann::json(*safeMode) : nlohmann::json()},
          {"updateAllowed", gate},
          {"updateGateCode", updateAllowed.code}};
}

void tInstalledFirmware::print() const {
  tTableText table({"", ""});
  table.addRow({"BIOS version (SMBIOS)", shown(bios)});
  table.addRow({"companion firmware version", companionPresent ? shown(companion) : "no companion chip"});
  table.addRow({"BIOS version record (companion)", companionPresent ? shown(biosRecord) : "no companion chip"});
  table.addRow({"safe-mode version", safeMode ? *safeMode : "no safe-mode tools"});
  table.addRow({"updates", !updateAllowed.ok()         ? "unknown: the board does not say"
                           : updateAllowed.value == 1 ? "allowed"
                                                      : "not allowed by the board"});
  table.print(false);
}

}  // namespace kestrelctl
