// Running the built kestrelctl as a user does: under kestrel-sim, its
// standard output and standard error apart.
#pragma once

#include <string>

#include "programRun.h"

namespace kestrelctlTest {

using tRun = kestrelTest::tProgramRun;

using kestrelTest::runShell;

inline std::string profilePath(const std::string& profile) {
  return profile.find('/') != std::string::npos ? profile : std::string(KESTREL_SIM_PROFILES) + "/" + profile + ".json";
}

// "kestrel-sim --profile FILE --": what runs a command on the simulated controller.
inline std::string underSim(const std::string& profile = "default") {
  return std::string(KESTREL_SIM_LAUNCHER) + " --profile " + profilePath(profile) + " --";
}

// kestrelctl with `arguments` (shell words) under kestrel-sim.
inline tRun kestrelctl(const std::string& arguments, const std::string& profile = "default") {
  return runShell(underSim(profile) + " " + KESTRELCTL + " " + arguments);
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace kestrelctlTest
