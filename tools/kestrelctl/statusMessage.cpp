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

nlohmann::json textOrNull(const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); }

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

tProblem statusProblem(const std::string& operation, std::int32_t code, const std::string& advice,
                       const std::string& meaning) {
  const tKestrelStatusInfo* info = kestrelStatusInfo(code);
  tProblem problem;
  problem.code = code;
  problem.name = info != nullptr ? info->name : "unknown status";
  problem.meaning = !meaning.empty() ? meaning : info != nullptr ? info->meaning : "a code of the device or its driver";
  problem.operation = operation;
  problem.message = operation + ": " + problem.name + " (" + std::to_string(code) + "): " + problem.meaning;
  problem.hint = advice.empty() ? adviceFor(code) : advice;
  return problem;
}

int report(const tProblem& problem, int exitStatus) {
  const auto& line = outputOptions().inputLine;
  const std::string where = line ? "line " + std::to_string(*line) + ": " : "";
  std::fprintf(stderr, "kestrelctl: %s%s\n", where.c_str(), printable(problem.message).c_str());
  if (!problem.hint.empty()) std::fprintf(stderr, "  %s\n", printable(problem.hint).c_str());
  if (outputOptions().json) {
    nlohmann::json error = {{"code", problem.code ? nlohmann::json(*problem.code) : nlohmann::json()},
                            {"name", problem.name},
                            {"meaning", problem.meaning},
                            {"operation", textOrNull(problem.operation)},
                            {"message", problem.message},
                            {"hint", textOrNull(problem.hint)}};
    for (const auto& [key, value] : problem.extra.items()) error[key] = value;
    setJsonFailure({{"error", error}});
  }
  return exitStatus;
}

int printFailure(const std::string& what, std::int32_t code, const std::string& advice) {
  return report(statusProblem(what, code, advice), kFailure);
}

int printProblem(const std::string& operation, const std::string& message, const std::string& hint) {
  tProblem problem;
  problem.name = "failure";
  problem.meaning = "the operation failed";
  problem.operation = operation;
  problem.message = message;
  problem.hint = hint;
  return report(problem, kFailure);
}

int printUsageError(const std::string& message, const std::string& hint) {
  tProblem problem;
  problem.name = "usage";
  problem.meaning = "the command is not valid; it was refused before anything changed";
  problem.message = message;
  problem.hint = hint;
  return report(problem, kUsage);
}

int printInterrupted(const std::string& operation, const std::string& message) {
  tProblem problem;
  problem.name = "interrupted";
  problem.meaning = "stopped by a signal before the operation ended";
  problem.operation = operation;
  problem.message = operation + ": " + message;
  return report(problem, kInterrupted);
}

}  // namespace kestrelctl
