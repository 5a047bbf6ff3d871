// Running a program as a user does from a shell: its standard output and
// standard error collected (apart or together) and its exit status as a
// shell reports it. Tests that drive the built tools use this, so that each
// reads output and decodes a wait status the same way.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

namespace kestrelTest {

enum class tErrorOutput {
  kApart,       // standard error into tProgramRun::errors
  kWithOutput,  // standard error into tProgramRun::output, as "2>&1" does
};

struct tProgramRun {
  int exitCode = -1;      // 128 + the signal when one ended it; -1 when it did not start
  int endedBySignal = 0;  // the signal that ended it, 0 when it exited
  std::string output;
  std::string errors;
};

// A wait status as a shell reports it: the exit status, or 128 + the
// signal that ended the process.
inline int shellExitCode(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// A program started with its output streams on pipes; finish() collects
// them. The pid is there for tests that signal the program meanwhile.
struct tStartedProgram {
  pid_t pid = -1;
  int output = -1;
  int errors = -1;  // -1 with tErrorOutput::kWithOutput
};

// Starts `argv` (argv[0] a path, or a name found on PATH).
inline tStartedProgram startProgram(const std::vector<std::string>& argv, tErrorOutput errorOutput) {
  tStartedProgram started;
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  const bool apart = errorOutput == tErrorOutput::kApart;
  if (argv.empty() || pipe2(out, O_CLOEXEC) != 0) return started;
  if (apart && pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return started;
  }
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  started.pid = fork();
  if (started.pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(apart ? err[1] : out[1], STDERR_FILENO);
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  close(out[1]);
  if (apart) close(err[1]);
  started.output = out[0];
  started.errors = err[0];
  if (started.pid < 0) {
    close(out[0]);
    if (apart) close(err[0]);
    started = {};
  }
  return started;
}

// Starts `command` with /bin/sh -c.
inline tStartedProgram startShell(const std::string& command, tErrorOutput errorOutput) {
  return startProgram({"/bin/sh", "-c", command}, errorOutput);
}

// Reads the program's streams to their end, then waits for it.
inline tProgramRun finish(tStartedProgram& started) {
  tProgramRun run;
  if (started.pid < 0) return run;
  pollfd ends[2] = {{started.output, POLLIN, 0}, {started.errors, POLLIN, 0}};
  std::string* into[2] = {&run.output, &run.errors};
  int open = started.errors < 0 ? 1 : 2;
  while (open > 0) {
    if (poll(ends, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (ends[i].fd < 0 || ends[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t count = read(ends[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        close(ends[i].fd);
        ends[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& end : ends) {
    if (end.fd >= 0) close(end.fd);
  }
  int status = 0;
  pid_t waited = -1;
  while ((waited = waitpid(started.pid, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited == started.pid) {
    run.exitCode = shellExitCode(status);
    run.endedBySignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  started = {};
  return run;
}

// Runs `command` with /bin/sh -c to its end.
inline tProgramRun runShell(const std::string& command, tErrorOutput errorOutput = tErrorOutput::kApart) {
  tStartedProgram started = startShell(command, errorOutput);
  return finish(started);
}

}  // namespace kestrelTest
