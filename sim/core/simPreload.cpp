// Under kestrel-sim the simulator starts before the program: the launcher
// names the sandbox, the profile and the socket of the run's driver in the
// environment. The launcher built the sandbox's files and serves the device
// models; every process of the run reaches that one driver. Without a
// driver named (the preload used on its own), each process simulates one
// of its own.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "tProfile.h"
#include "tReentryGuard.h"
#include "tSimulator.h"

namespace {

constexpr const char* kReadyMarker = "/.kestrel-sim-ready";
constexpr int kProfileFailure = 125;

__attribute__((constructor)) void startFromEnvironment() {
  const char* root = std::getenv("KESTREL_SIM_ROOT");
  if (root == nullptr || root[0] == '\0') return;
  const char* profilePath = std::getenv("KESTREL_SIM_PROFILE");
  const char* driver = std::getenv("KESTREL_SIM_DRIVER");
  try {
    nKESTRELSIM::tReentryGuard guard;
    const auto profile = profilePath != nullptr && profilePath[0] != '\0'
                             ? nKESTRELSIM::tProfile::fromFile(profilePath)
                             : nKESTRELSIM::tProfile::defaults();
    auto& simulator = nKESTRELSIM::tSimulator::instance();
    simulator.start(root);
    if (driver != nullptr && driver[0] != '\0') {
      // The process's own part: which paths are device nodes, the C library
      // call faults, the install tool's answer.
      profile.apply(simulator, false);
      simulator.useDriverAt(driver);
    } else {
      // No driver to share: this process has models of its own; the first
      // process of the sandbox creates its files.
      const std::string marker = std::string(root) + kReadyMarker;
      const bool createFiles = !std::filesystem::exists(marker);
      profile.apply(simulator, createFiles);
      if (createFiles) std::ofstream(marker).put('\n');
    }
    simulator.announceImages(true);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kestrel-sim: %s\n", error.what());
    _exit(kProfileFailure);
  }
}

}  // namespace
