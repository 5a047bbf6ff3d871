// kestrel-sim [--profile FILE] [--keep-sandbox] -- COMMAND [ARGS...]
// Runs a program against a simulated controller: a fresh sandbox, the
// profile's device interfaces, and libkestrel_sim.so preloaded.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tDriverHost.h"
#include "tLaunchEnvironment.h"
#include "tProfile.h"
#include "tSimulator.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLaunchFailure = 125;
constexpr const char* kDriverSocket = "/.kestrel-sim-driver";
constexpr int kNotExecutable = 127;

struct tOptions {
  std::string profile;
  bool keepSandbox = false;
  std::vector<std::string> command;
};

// A file of the installed tree, relative to this program's own location;
// "" when this program does not run from an installed tree.
std::string installed(const char* relative) {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path candidate = (self.parent_path() / relative).lexically_normal();
  return fs::exists(candidate, error) ? candidate.string() : std::string();
}

// The installed tree's, else the build tree's.
std::string simulatorLibrary() {
  if (const char* configured = std::getenv("KESTREL_SIM_LIBRARY")) return configured;
  const std::string library = installed(KESTREL_SIM_INSTALLED_LIBRARY);
  return library.empty() ? KESTREL_SIM_LIBRARY_PATH : library;
}

std::string boardsDirectory() {
  const std::string boards = installed(KESTREL_SIM_INSTALLED_BOARDS);
  return boards.empty() ? KESTREL_SIM_SMBIOS_BOARDS_DIR : boards;
}

std::string makeSandbox() {
  std::string pattern = (fs::temp_directory_path() / "kestrel-sim.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create the sandbox directory");
  return pattern;
}

volatile sig_atomic_t gChild = 0;

void forward(int signalNumber) {
  if (gChild > 0) kill(static_cast<pid_t>(gChild), signalNumber);
}

// A termination request sent to the launcher alone reaches the program too.
// Ctrl-C and Ctrl-\ reach the whole process group from the terminal, so the
// launcher only lets them pass and waits for the program to end.
void forwardSignalsTo(pid_t child) {
  gChild = child;
  struct sigaction action {};
  action.sa_handler = &forward;
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : {SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
  signal(SIGINT, SIG_IGN);
  signal(SIGQUIT, SIG_IGN);
}

// The run's one driver: the profile's system, served to every process of
// the run from a thread of the launcher.
std::unique_ptr<nKESTRELSIM::tDriverHost> serveDriver(const tOptions& options, const std::string& sandbox) {
  const auto profile = options.profile.empty() ? nKESTRELSIM::tProfile::defaults()
                                               : nKESTRELSIM::tProfile::fromFile(options.profile);
  auto& simulator = nKESTRELSIM::tSimulator::instance();
  simulator.start(sandbox);
  simulator.limitRequestLog(0);
  profile.apply(simulator, true);
  simulator.announceImages(true);
  auto host = std::make_unique<nKESTRELSIM::tDriverHost>(simulator, sandbox + kDriverSocket);
  host->start();
  return host;
}

int runCommand(const tOptions& options, const std::string& sandbox) {
  setenv("KESTREL_SIM_ROOT", sandbox.c_str(), 1);
  setenv("KESTREL_SIM_BOARDS", boardsDirectory().c_str(), 1);
  if (options.profile.empty()) {
    unsetenv("KESTREL_SIM_PROFILE");
  } else {
    setenv("KESTREL_SIM_PROFILE", fs::absolute(options.profile).c_str(), 1);
  }
  const std::string preload =
      nKESTRELSIM::preloadFor(options.command.front(), simulatorLibrary(), std::getenv("LD_PRELOAD"));
  const auto host = serveDriver(options, sandbox);
  setenv("KESTREL_SIM_DRIVER", host->socketPath().c_str(), 1);
  setenv("LD_PRELOAD", preload.c_str(), 1);
  // Nothing is allocated between the fork and the exec: the driver's thread
  // may hold the allocator's lock at the fork.
  std::vector<char*> arguments;
  for (const std::string& argument : options.command) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  const std::string cannotRun = "kestrel-sim: cannot run " + options.command.front() + "\n";
  const pid_t child = fork();
  if (child == -1) throw std::runtime_error("cannot start the command");
  if (child == 0) {
    execvp(arguments.front(), arguments.data());
    [[maybe_unused]] const auto written = write(STDERR_FILENO, cannotRun.data(), cannotRun.size());
    _exit(kNotExecutable);
  }
  forwardSignalsTo(child);
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
  }
  host->stop();
  nKESTRELSIM::tSimulator::instance().stop();
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
  tOptions options;
  CLI::App app{"Runs a program against a simulated controller"};
  app.add_option("--profile", options.profile, "JSON profile of the simulated system")->check(CLI::ExistingFile);
  app.add_flag("--keep-sandbox", options.keepSandbox, "keep the sandbox directory and print its path");
  app.add_option("command", options.command, "the program and its arguments (after --)")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help
  } catch (const CLI::ParseError& error) {
    // The launcher's own failures share one exit status, apart from the program's.
    std::cerr << "kestrel-sim: " << error.what() << "\nkestrel-sim: usage: kestrel-sim [--profile FILE] "
                 "[--keep-sandbox] -- COMMAND [ARGS...]\n";
    return kLaunchFailure;
  }

  try {
    if (!options.profile.empty()) nKESTRELSIM::tProfile::fromFile(options.profile);
    const std::string sandbox = makeSandbox();
    const int result = runCommand(options, sandbox);
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
