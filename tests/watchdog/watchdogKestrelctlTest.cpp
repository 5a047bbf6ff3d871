// kestrelctl's watchdog commands under kestrel-sim, on real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct tRun {
  int exitCode;
  std::string output;
};

std::string commandLine(const std::string& arguments) {
  return std::string(KESTREL_SIM_LAUNCHER) + " -- " + KESTRELCTL + " " + arguments + " 2>&1";
}

tRun collect(FILE* pipe) {
  tRun result{-1, {}};
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pipe == nullptr ? -1 : pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

tRun run(const std::string& arguments) { return collect(popen(commandLine(arguments).c_str(), "r")); }

// The pid of kestrelctl among the launcher's children (the launcher may
// run other programs first).
pid_t kestrelctlUnder(pid_t launcher) {
  const std::string path = "/proc/" + std::to_string(launcher) + "/task/" + std::to_string(launcher) + "/children";
  for (int attempt = 0; attempt < 500; ++attempt) {
    std::ifstream children(path);
    for (pid_t child = 0; children >> child;) {
      std::string name;
      std::ifstream("/proc/" + std::to_string(child) + "/comm") >> name;
      if (name == "kestrelctl") return child;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

// Runs kestrelctl with `arguments` under the launcher and sends `signal`
// to kestrelctl once it has been running for a while. The commands given
// end by themselves after a time, should the signal miss.
tRun runAndSignal(std::vector<std::string> arguments, int signal) {
  arguments.insert(arguments.begin(), {KESTREL_SIM_LAUNCHER, "--", KESTRELCTL});
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int ends[2];
  if (pipe(ends) != 0) return {-1, {}};
  const pid_t launcher = fork();
  if (launcher == 0) {
    dup2(ends[1], STDOUT_FILENO);
    dup2(ends[1], STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(ends[1]);
  const pid_t kestrelctl = kestrelctlUnder(launcher);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  if (kestrelctl != 0) kill(kestrelctl, signal);
  tRun result{-1, {}};
  char buffer[512];
  ssize_t count = 0;
  while ((count = read(ends[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<std::size_t>(count));
  close(ends[0]);
  int status = 0;
  waitpid(launcher, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(WatchdogCommands, KeepaliveRunsForItsDuration) {
  const tRun keepalive = run("watchdog keepalive --interval 100 --for 2s");
  EXPECT_EQ(keepalive.exitCode, 0) << keepalive.output;
  EXPECT_NE(keepalive.output.find("timer stopped (duration)"), std::string::npos) << keepalive.output;
}

TEST(WatchdogCommands, AnExpiryIsReportedByName) {
  const tRun wait = run("--json watchdog wait --start --timeout 50");
  EXPECT_EQ(wait.exitCode, 0) << wait.output;
  EXPECT_EQ(wait.output, "{\"meaning\":\"expired\",\"notification\":1}\n");

  // Pets too far apart would let the timer expire: refused before the start.
  const tRun late = run("watchdog keepalive --interval 300 --timeout 100 --for 1s");
  EXPECT_EQ(late.exitCode, 2);
  EXPECT_NE(late.output.find("is not shorter than the timer's timeout"), std::string::npos) << late.output;
}

TEST(WatchdogCommands, AttributesByNameOrId) {
  EXPECT_EQ(run("watchdog get timeout").output, "5000\n");
  EXPECT_EQ(run("--json watchdog set expiryAction 2").output,
            "{\"attribute\":\"watchdog-expiry-action\",\"id\":\"0x20070200\",\"status\":0}\n");
  const tRun refused = run("watchdog set timeout 0");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("kestrelerr_attributeNotSupported (-26934)"), std::string::npos) << refused.output;
  EXPECT_EQ(run("watchdog get nonsense").exitCode, 2);
  EXPECT_EQ(run("watchdog keepalive --interval 100 --for soon").exitCode, 2);
}

TEST(WatchdogCommands, SignalsStopTheTimerCleanly) {
  const tRun keepalive = runAndSignal({"--json", "watchdog", "keepalive", "--interval", "50", "--for", "20s"}, SIGTERM);
  EXPECT_EQ(keepalive.exitCode, 0) << keepalive.output;
  EXPECT_NE(keepalive.output.find("\"stoppedBy\":\"signal\""), std::string::npos) << keepalive.output;

  const tRun wait = runAndSignal({"watchdog", "wait", "--start", "--timeout", "20000"}, SIGINT);
  EXPECT_EQ(wait.exitCode, 0) << wait.output;
  EXPECT_EQ(wait.output, "2 wait cancelled\n");
}

}  // namespace
