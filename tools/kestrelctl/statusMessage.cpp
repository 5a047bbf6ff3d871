#include "tools/kestrelctl/statusMessage.h"

#include <glob.h>
#include <kestrel/kestrel.h>
#include <kestrel/kestrel_status.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/kestrelctl/output.h"

namespace kestrelctl {
namespace {

// The kernel driver publishes its device interfaces here.
constexpr const char* kInterfacePathFiles = "/proc/driver/ze/*/deviceInterfaces/*/interfacePath";

std::vector<std::string> deviceNodes() {
  std::vector<std::string> nodes;
  glob_t found{};
  if (glob(kInterfacePathFiles, 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc; ++i) {
      std::ifstream file(found.gl_pathv[i]);
      std::string node;
      if (std::getline(file, node) && !node.empty()) nodes.push_back(node);
    }
  }
  globfree(&found);
  return nodes;
}

std::string deviceMissingAdvice() {
  if (!deviceNodes().empty()) {
    return "The driver's device interfaces exist, but the board is not a controller this library supports, or a "
           "needed interface (or the companion chip) is missing; 'kestrelctl info' shows what the board offers.";
  }
  return "No device interface of the controller's driver exists: is the kernel driver loaded? Without hardware, "
         "run the command under the simulated controller: kestrel-sim -- kestrelctl ...";
}

std::string permissionAdvice() {
  std::string denied;
  for (const std::string& node : deviceNodes()) {
    if (access(node.c_str(), R_OK | W_OK) != 0) denied += (denied.empty() ? "" : ", ") + node;
  }
  if (denied.empty()) return "The driver refused the request for lack of permission; try again as root.";
  return "Reading and writing " + denied + " needs permission: run as root, or ask for access to the device's group.";
}

}  // namespace

std::string describeStatus(std::int32_t code) {
  const tKestrelStatusInfo* info = kestrelStatusInfo(code);
  if (info == nullptr) return "status " + std::to_string(code) + " (a code of the device or its driver)";
  return std::string(info->name) + " (" + std::to_string(code) + "): " + info->meaning;
}

std::string adviceFor(std::int32_t code) {
  switch (code) {
    case kestrelerr_deviceNotAvailable: return deviceMissingAdvice();
    case brioerr_permissionDenied: return permissionAdvice();
    case kestrelerr_attributeNotSupported:
      return "The board does not offer this attribute or index; 'kestrelctl list' shows the attributes.";
    case kestrelerr_stringTooLong: return "Texts are at most 255 bytes.";
    default: return "";
  }
}

int printFailure(const std::string& what, std::int32_t code, const std::string& advice) {
  const std::string hint = advice.empty() ? adviceFor(code) : advice;
  const std::string message = what + ": " + describeStatus(code);
  std::fprintf(stderr, "kestrelctl: %s\n", printable(message).c_str());
  if (!hint.empty()) std::fprintf(stderr, "  %s\n", hint.c_str());
  if (outputOptions().json) {
    printJson({{"error",
                {{"code", code},
                 {"name", kestrelStatusName(code)},
                 {"meaning", kestrelStatusMeaning(code)},
                 {"operation", what},
                 {"message", message},
                 {"hint", hint.empty() ? nlohmann::json() : nlohmann::json(hint)}}}});
  }
  return kFailure;
}

int printUsageError(const std::string& message) {
  std::fprintf(stderr, "kestrelctl: %s\n", printable(message).c_str());
  if (outputOptions().json) printJson({{"error", {{"code", nullptr}, {"name", "usage"}, {"message", message}}}});
  return kUsage;
}

}  // namespace kestrelctl
