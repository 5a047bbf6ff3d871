#include "sim/launcher/tLaunchEnvironment.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace nKESTRELSIM {
namespace {

constexpr const char* kRuntimes[] = {"libasan.so", "libtsan.so", "libubsan.so", "liblsan.so"};

bool isSanitizerRuntime(const std::string& library) {
  return std::any_of(std::begin(kRuntimes), std::end(kRuntimes),
                     [&](const char* runtime) { return library.find(runtime) != std::string::npos; });
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string installedBeside(const char* relative) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path candidate = (self.parent_path() / relative).lexically_normal();
  return std::filesystem::exists(candidate, error) ? candidate.string() : std::string();
}

std::string resolveProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return program;
}

std::vector<std::string> sanitizerRuntimes(const std::string& program) {
  std::vector<std::string> runtimes;
  const std::string command = "ldd " + shellQuoted(resolveProgram(program)) + " 2>/dev/null";
  FILE* listing = popen(command.c_str(), "r");
  if (listing == nullptr) return runtimes;
  char line[4096];
  while (std::fgets(line, sizeof line, listing) != nullptr) {
    const std::string entry(line);
    for (const char* runtime : kRuntimes) {
      const auto arrow = entry.find("=> ");
      if (entry.find(runtime) == std::string::npos || arrow == std::string::npos) continue;
      const auto end = entry.find(" (", arrow);
      runtimes.push_back(entry.substr(arrow + 3, end == std::string::npos ? std::string::npos : end - arrow - 3));
    }
  }
  pclose(listing);
  return runtimes;
}

std::string preloadFor(const std::string& program, const std::string& simulatorLibrary, const char* existing) {
  // The simulator itself may be built with a sanitizer, too.
  std::vector<std::string> runtimes = sanitizerRuntimes(program);
  for (const std::string& runtime : sanitizerRuntimes(simulatorLibrary)) {
    if (std::find(runtimes.begin(), runtimes.end(), runtime) == runtimes.end()) runtimes.push_back(runtime);
  }
  // Runtimes already preloaded (a launcher stacked on another: ldd then
  // lists them without a path to resolve) stay in front as well.
  std::vector<std::string> rest;
  std::stringstream preloaded(existing != nullptr ? existing : "");
  for (std::string library; std::getline(preloaded, library, ':');) {
    if (library.empty()) continue;
    const bool runtime = isSanitizerRuntime(library);
    auto& list = runtime ? runtimes : rest;
    if (!runtime || std::find(runtimes.begin(), runtimes.end(), library) == runtimes.end()) list.push_back(library);
  }
  std::string preload;
  for (const std::string& runtime : runtimes) preload += runtime + ":";
  preload += simulatorLibrary;
  for (const std::string& library : rest) preload += ":" + library;
  return preload;
}

}  // namespace nKESTRELSIM
