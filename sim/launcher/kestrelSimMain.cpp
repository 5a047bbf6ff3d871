// kestrel-sim [--profile FILE|NAME] [--replay FILE [--lenient]] [--keep-sandbox] -- COMMAND [ARGS...]
// Runs a program against a simulated controller: a fresh sandbox, the
// profile's device interfaces, and libkestrel_sim.so preloaded.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/driver/tDriverHost.h"
#include "sim/launcher/profileSearch.h"
#include "sim/launcher/tDescriptorLimit.h"
#include "sim/launcher/tLaunchEnvironment.h"
#include "sim/launcher/tLaunchSignals.h"
#include "sim/launcher/tStandardStreams.h"
#include "sim/profile/tProfile.h"
#include "sim/replay/tReplayRun.h"
#include "sim/system/tSimulator.h"

namespace {

namespace fs = std::filesystem;
using namespace nKESTRELSIM;

constexpr int kLaunchFailure = 125;
constexpr const char* kDriverSocket = "/.kestrel-sim-driver";
constexpr int kNotExecutable = 127;
constexpr const char* kUsage =
    "usage: kestrel-sim [--profile FILE|NAME] [--replay FILE [--lenient]] [--keep-sandbox] -- COMMAND [ARGS...]";

struct tOptions {
  std::string profile;
  bool keepSandbox = false;
  std::string replay;
  bool lenient = false;
  std::vector<std::string> command;
};

// What the launcher leaves as the program found it.
struct tInherited {
  tLaunchSignals signals;  // first: no request ends the launcher from here on
  tStandardStreams streams;
  tDescriptorLimit limit;
};

// The installed tree's, else the build tree's.
std::string simulatorLibrary() {
  if (const char* configured = std::getenv("KESTREL_SIM_LIBRARY")) return configured;
  const std::string library = installedBeside(KESTREL_SIM_INSTALLED_LIBRARY);
  return library.empty() ? KESTREL_SIM_LIBRARY_PATH : library;
}

std::string boardsDirectory() {
  const std::string boards = installedBeside(KESTREL_SIM_INSTALLED_BOARDS);
  return boards.empty() ? KESTREL_SIM_SMBIOS_BOARDS_DIR : boards;
}

std::vector<std::string> profileFolders() {
  std::vector<std::string> folders;
  const std::string shipped = installedBeside(KESTREL_SIM_INSTALLED_PROFILES);
  if (!shipped.empty()) folders.push_back(shipped);
  folders.push_back(KESTREL_SIM_PROFILES_DIR);
  return folders;
}

std::string makeSandbox() {
  std::string pattern = (fs::temp_directory_path() / "kestrel-sim.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create the sandbox directory");
  return pattern;
}

// The program's name where the user left out the "--" before a program
// that takes options of its own ("kestrel-sim kestrelctl --json info").
std::optional<std::string> programWithoutSeparator(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") return std::nullopt;
    if (argument == "--profile" || argument == "--replay") {
      ++i;
      continue;
    }
    if (argument.rfind('-', 0) == 0) continue;
    for (int later = i + 1; later < argc; ++later) {
      if (argv[later][0] == '-') return argument;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

// The run's one driver: the profile's system, served to every process of
// the run from a thread of the launcher.
std::unique_ptr<tDriverHost> serveDriver(const tProfile& profile, const std::string& sandbox, tReplayRun* replay) {
  auto& simulator = tSimulator::instance();
  simulator.start(sandbox);
  simulator.limitRequestLog(0);
  profile.apply(simulator, true);
  simulator.limitReceivedImages(1);
  simulator.announceImages(true);
  iServedSystem& served = replay != nullptr ? replay->serve(simulator) : simulator;
  auto host = std::make_unique<tDriverHost>(served, sandbox + kDriverSocket);
  host->start();
  return host;
}

void prepareEnvironment(const tOptions& options, const std::string& sandbox, const std::string& socketPath) {
  setenv("KESTREL_SIM_ROOT", sandbox.c_str(), 1);
  setenv("KESTREL_SIM_BOARDS", boardsDirectory().c_str(), 1);
  if (options.profile.empty()) {
    unsetenv("KESTREL_SIM_PROFILE");
  } else {
    setenv("KESTREL_SIM_PROFILE", fs::absolute(options.profile).c_str(), 1);
  }
  setenv("KESTREL_SIM_DRIVER", socketPath.c_str(), 1);
}

// Starts the program; its pid, or -1 when it could not be run (said on
// standard error). Nothing is allocated between the fork and the exec: the
// driver's thread may hold the allocator's lock at the fork.
pid_t startProgram(const tOptions& options, tInherited& inherited) {
  std::vector<char*> arguments;
  for (const std::string& argument : options.command) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  // The child reports a failed exec through the pipe; a successful one closes it.
  int report[2];
  if (pipe2(report, O_CLOEXEC) == -1) throw std::runtime_error("cannot start the command: " + std::string(std::strerror(errno)));
  const pid_t child = fork();
  if (child == 0) {
    inherited.limit.restoreInChild();
    inherited.streams.closePlaceholdersInChild();
    inherited.signals.restoreInChild();
    execvp(arguments.front(), arguments.data());
    const int error = errno;
    [[maybe_unused]] const auto written = write(report[1], &error, sizeof error);
    _exit(kNotExecutable);
  }
  const int forkError = errno;
  close(report[1]);
  if (child == -1) {
    close(report[0]);
    throw std::runtime_error("cannot start the command: " + std::string(std::strerror(forkError)));
  }
  inherited.signals.passOnTo(child);
  int error = 0;
  ssize_t got = -1;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got == -1 && errno == EINTR);
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof error)) {
    std::cerr << "kestrel-sim: cannot run " << options.command.front() << ": " << std::strerror(error) << "\n";
  }
  return child;
}

// The program's exit status, 128 + the signal that ended it.
int awaitProgram(pid_t child, tInherited& inherited) {
  siginfo_t ended{};
  // Waited for without reaping it: until it is reaped its process id is not
  // given to another process that a late request would reach.
  while (waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT) == -1) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for the command: " + std::string(std::strerror(errno)));
  }
  inherited.signals.programEnded();
  int status = 0;
  while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int run(tOptions options, const std::string& sandbox, tInherited& inherited) {
  std::unique_ptr<tReplayRun> replay;
  if (!options.replay.empty()) {
    replay = std::make_unique<tReplayRun>(options.replay, options.lenient);
    options.profile = replay->writeProfile(sandbox);
  }
  const auto profile = options.profile.empty() ? tProfile::defaults() : tProfile::fromFile(options.profile);
  const std::string preload = preloadFor(options.command.front(), simulatorLibrary(), std::getenv("LD_PRELOAD"));
  auto host = serveDriver(profile, sandbox, replay.get());
  prepareEnvironment(options, sandbox, host->socketPath());
  setenv("LD_PRELOAD", preload.c_str(), 1);
  // A request that came while the run was being set up ends it before the program starts.
  int result = 128 + inherited.signals.pendingRequest();
  if (result == 128) {
    const pid_t program = startProgram(options, inherited);
    if (replay) replay->programStarted(program);
    result = awaitProgram(program, inherited);
  }
  // The driver goes: programs of the run still running learn of it.
  host.reset();
  if (replay) result = replay->finish(result);
  tSimulator::instance().stop();
  return result;
}

// A recording is refused before anything runs, with the line at fault.
void checkRecording(const std::string& path) {
  try {
    readRecordingFile(path);
  } catch (const tRecordingError& error) {
    if (error.line() == 0) throw;
    throw std::runtime_error("recording " + path + ": " + error.what() +
                             " (record again with kestrel-record; a recording is not edited by hand)");
  }
}

int parse(int argc, char** argv, tOptions& options) {
  CLI::App app{"Runs a program against a simulated controller"};
  app.add_option("--profile", options.profile,
                 "JSON profile of the simulated system: a file, or the name of a shipped profile");
  app.add_flag("--keep-sandbox", options.keepSandbox, "keep the sandbox directory and print its path");
  auto* replay = app.add_option("--replay", options.replay,
                                "answer from a recording (kestrel-record) instead of the models; exit status 120 "
                                "when the program's requests leave it");
  app.add_flag("--lenient", options.lenient, "with --replay: requests not in the recording are answered by the "
                                             "models and listed at the end")->needs(replay);
  replay->excludes(app.get_option("--profile"));
  app.add_option("command", options.command, "the program and its arguments (after --)")->required();
  if (const auto program = programWithoutSeparator(argc, argv)) {
    std::cerr << "kestrel-sim: put -- before the program, so that its options stay its own: kestrel-sim "
                 "[--profile FILE|NAME] [--replay FILE [--lenient]] [--keep-sandbox] -- "
              << *program << " ...\n";
    return kLaunchFailure;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help
  } catch (const CLI::ParseError& error) {
    // The launcher's own failures share one exit status, apart from the program's.
    std::cerr << "kestrel-sim: " << error.what() << "\nkestrel-sim: " << kUsage << "\n";
    return kLaunchFailure;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  tInherited inherited;
  tOptions options;
  if (const int result = parse(argc, argv, options); result >= 0) return result;
  try {
    if (!options.replay.empty()) checkRecording(options.replay);
    if (!options.profile.empty()) {
      options.profile = locateProfile(options.profile, profileFolders());
      tProfile::fromFile(options.profile).check();
    }
    const std::string sandbox = makeSandbox();
    int result = kLaunchFailure;
    try {
      result = run(options, sandbox, inherited);
    } catch (...) {
      std::error_code ignored;
      fs::remove_all(sandbox, ignored);
      throw;
    }
    if (options.keepSandbox) {
      std::cerr << "kestrel-sim: sandbox kept in " << sandbox << "\n";
    } else {
      std::error_code ignored;
      fs::remove_all(sandbox, ignored);
    }
    return result;
  } catch (const std::exception& error) {
    std::cerr << "kestrel-sim: " << error.what() << "\n";
    return kLaunchFailure;
  }
}
