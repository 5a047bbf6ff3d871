// Running kestrel-sim as a user does, for the launcher's tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace nLauncherRun {

struct tRun {
  int exitCode;
  std::string output;
};

// A shell command line; its output, and its exit status.
inline tRun shell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  tRun result{-1, {}};
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pipe == nullptr ? -1 : pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// The launcher with `arguments`, its error output with its output.
inline tRun run(const std::string& arguments) {
  return shell(std::string(KESTREL_SIM_LAUNCHER) + " " + arguments + " 2>&1");
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
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace nLauncherRun
