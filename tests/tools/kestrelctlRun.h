// Running the built kestrelctl as a user does: under kestrel-sim, its
// standard output and standard error apart.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kestrelctlTest {

struct tRun {
  int exitCode = -1;  // 128 + the signal when killed by one
  std::string out;
  std::string err;
};

// Runs `command` with /bin/sh -c.
inline tRun runShell(const std::string& command) {
  int out[2], err[2];
  tRun run;
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return run;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&run.out, &run.err};
  int open = 2;
  while (open > 0 && poll(ends, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (ends[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t count = read(ends[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(count));
      } else {
        ends[i].fd = -1;
        --open;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

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
