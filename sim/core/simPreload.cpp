// Under kestrel-sim the simulator starts before the program: the launcher
// names the sandbox and the profile in the environment. The first process
// of a run creates the sandbox's files; its child processes reuse them.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>

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
  try {
    nKESTRELSIM::tReentryGuard guard;
    const auto profile = profilePath != nullptr && profilePath[0] != '\0'
                             ? nKESTRELSIM::tProfile::fromFile(profilePath)
                             : nKESTRELSIM::tProfile::defaults();
    const std::string marker = std::string(root) + kReadyMarker;
    const bool createFiles = !std::filesystem::exists(marker);
    auto& simulator = nKESTRELSIM::tSimulator::instance();
    simulator.start(root);
    profile.apply(simulator, createFiles);
    simulator.announceImages(true);
    if (createFiles) std::ofstream(marker).put('\n');
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kestrel-sim: %s\n", error.what());
    _exit(kProfileFailure);
  }
}

}  // namespace
