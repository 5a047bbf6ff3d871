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

#include "sim/libc/tReentryGuard.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

namespace {

constexpr const char* kReadyMarker = "/.kestrel-sim-ready";
constexpr int kProfileFailure = 125;

nKESTRELSIM::tProfile profileFrom(const char* path) {
  return path != nullptr && path[0] != '\0' ? nKESTRELSIM::tProfile::fromFile(path)
                                            : nKESTRELSIM::tProfile::defaults();
}

// The process's own part of a run's system: which paths are device nodes,
// the C library call faults, the install tool's answer. A program started
// after its run ended (its driver gone) runs on: its devices answer as
// vanished ones do, and nothing of the sandbox is made again.
void joinRun(nKESTRELSIM::tSimulator& simulator, const char* root, const char* profilePath, const char* driver) {
  simulator.start(root, false);
  simulator.useDriverAt(driver);
  if (simulator.sharedDriverGone()) return;
  profileFrom(profilePath).apply(simulator, false);
}

// No driver to share: this process has models of its own; the first
// process of the sandbox creates its files.
void simulateAlone(nKESTRELSIM::tSimulator& simulator, const char* root, const char* profilePath) {
  const auto profile = profileFrom(profilePath);
  simulator.start(root);
  const std::string marker = std::string(root) + kReadyMarker;
  const bool createFiles = !std::filesystem::exists(marker);
  profile.apply(simulator, createFiles);
  if (createFiles) std::ofstream(marker).put('\n');
}

__attribute__((constructor)) void startFromEnvironment() {
  const char* root = std::getenv("KESTREL_SIM_ROOT");
  if (root == nullptr || root[0] == '\0') return;
  const char* profilePath = std::getenv("KESTREL_SIM_PROFILE");
  const char* driver = std::getenv("KESTREL_SIM_DRIVER");
  try {
    nKESTRELSIM::tReentryGuard guard;
    auto& simulator = nKESTRELSIM::tSimulator::instance();
    if (driver != nullptr && driver[0] != '\0') {
      joinRun(simulator, root, profilePath, driver);
    } else {
      simulateAlone(simulator, root, profilePath);
    }
    simulator.announceImages(true);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kestrel-sim: %s\n", error.what());
    _exit(kProfileFailure);
  }
}

}  // namespace
