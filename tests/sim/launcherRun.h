// Running kestrel-sim as a user does, for the launcher's tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "programRun.h"

namespace nLauncherRun {

using tRun = kestrelTest::tProgramRun;

using kestrelTest::runShell;

// The launcher with `arguments`, its error output with its output.
inline tRun run(const std::string& arguments) {
  return runShell(std::string(KESTREL_SIM_LAUNCHER) + " " + arguments, kestrelTest::tErrorOutput::kWithOutput);
}

inline std::string ctl(const std::string& arguments) { return std::string(KESTREL_CTL) + " " + arguments; }

inline std::string writeProfile(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

inline std::string slurp(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// True once `condition` holds, checked for up to ten seconds.
inline bool eventually(const std::function<bool()>& condition) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// The launcher's exit status as a shell reports it (128 + a signal that
// ended it), or -1 when it has not ended within ten seconds.
inline int exitStatus(pid_t launcher) {
  int status = 0;
  if (!eventually([&] { return waitpid(launcher, &status, WNOHANG) == launcher; })) return -1;
  return kestrelTest::shellExitCode(status);
}

}  // namespace nLauncherRun
