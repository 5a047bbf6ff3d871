// kestrelctl's watchdog commands under kestrel-sim, on real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "programRun.h"

namespace {

using tRun = kestrelTest::tProgramRun;

using kestrelTest::tErrorOutput;

// kestrelctl with `arguments` under kestrel-sim, its error output with its output.
tRun run(const std::string& arguments) {
  return kestrelTest::runShell(std::string(KESTREL_SIM_LAUNCHER) + " -- " + KESTRELCTL + " " + arguments,
                               tErrorOutput::kWithOutput);
}

// Several kestrelctl commands, one after the other, in one kestrel-sim run
// (one simulated driver): `script` is a shell script in which $K stands for
// kestrelctl.
tRun runScript(const std::string& script) {
  const std::string line = std::string(KESTREL_SIM_LAUNCHER) + " -- sh -c 'K=" + KESTRELCTL + "; " + script + "'";
  return kestrelTest::runShell(line, tErrorOutput::kWithOutput);
}

// Waits until `predicate` holds for the file's text (a file of /proc).
template <typename Predicate>
bool awaitProc(const std::string& path, Predicate predicate) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::ifstream file(path);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (predicate(text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// The pid of kestrelctl among the launcher's children.
pid_t kestrelctlUnder(pid_t launcher) {
  const std::string children = "/proc/" + std::to_string(launcher) + "/task/" + std::to_string(launcher) + "/children";
  pid_t found = 0;
  awaitProc(children, [&](const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
      const pid_t child = std::atoi(text.c_str() + at);
      std::string name;
      std::ifstream("/proc/" + std::to_string(child) + "/comm") >> name;
      if (name == "kestrelctl") found = child;
      at = text.find(' ', at);
      if (at != std::string::npos) ++at;
    }
    return found != 0;
  });
  return found;
}

// SIGINT and SIGTERM blocked: kestrelctl waits for them from now on.
bool stopSignalsBlocked(const std::string& status) {
  const auto at = status.find("SigBlk:");
  if (at == std::string::npos) return false;
  const unsigned long long blocked = std::stoull(status.substr(at + 7), nullptr, 16);
  return (blocked & (1ull << (SIGINT - 1))) != 0 && (blocked & (1ull << (SIGTERM - 1))) != 0;
}

// Runs kestrelctl with `arguments` under the launcher and sends `signal`
// to kestrelctl once it waits for stop signals.
tRun runAndSignal(std::vector<std::string> arguments, int signal) {
  arguments.insert(arguments.begin(), {KESTREL_SIM_LAUNCHER, "--", KESTRELCTL});
  kestrelTest::tStartedProgram launcher = kestrelTest::startProgram(arguments, tErrorOutput::kWithOutput);
  if (launcher.pid < 0) return {};
  const pid_t kestrelctl = kestrelctlUnder(launcher.pid);
  if (kestrelctl != 0 && awaitProc("/proc/" + std::to_string(kestrelctl) + "/status", stopSignalsBlocked)) {
    kill(kestrelctl, signal);
  }
  return kestrelTest::finish(launcher);
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

// Each command in a program of its own, as a person types them: a look at
// an expired timer, and a look at that look, still find it expired.
TEST(WatchdogCommands, ALookLeavesTheTimerAsItFoundIt) {
  const tRun expired = runScript("$K watchdog wait --start --timeout 50 >/dev/null && "
                                 "$K watchdog get state && $K watchdog get state && $K watchdog status && "
                                 "$K watchdog set timeout 70 && $K watchdog get state");
  EXPECT_EQ(expired.exitCode, 0) << expired.output;
  EXPECT_EQ(expired.output, "2 (expired)\n2 (expired)\nstate          expired\ntimeout        50 ms\n"
                            "expiry action  notify\nremaining      0 ms\n2 (expired)\n");

  const tRun running = runScript("$K watchdog start --timeout 60000 && $K --json watchdog status && "
                                 "$K watchdog get state && $K watchdog stop && $K watchdog get state");
  EXPECT_EQ(running.exitCode, 0) << running.output;
  const auto newline = running.output.find('\n');
  const auto status = nlohmann::json::parse(running.output.substr(0, newline));
  EXPECT_EQ(status["state"], "running");
  EXPECT_EQ(status["stateValue"], 1);
  EXPECT_EQ(status["timeoutMs"], 60000);
  EXPECT_GT(status["remainingMs"].get<unsigned>(), 0u);
  EXPECT_EQ(running.output.substr(newline + 1), "1 (running)\n0 (stopped)\n");
}

// A wait gives no sign of life until something arrives: on a timer nobody
// runs, it says first what it waits for.
TEST(WatchdogCommands, AWaitOnAnIdleTimerSaysWhatItWaitsFor) {
  const tRun expired = runScript("$K watchdog wait --start --timeout 50 >/dev/null && $K watchdog wait --within 100ms");
  EXPECT_EQ(expired.exitCode, 1) << expired.output;
  EXPECT_NE(expired.output.find("note: the watchdog timer is already expired; waiting until a program starts it"),
            std::string::npos)
      << expired.output;
  EXPECT_NE(expired.output.find("no watchdog notification within 100 ms"), std::string::npos) << expired.output;

  const tRun stopped = run("watchdog wait --within 100ms");
  EXPECT_NE(stopped.output.find("note: the watchdog timer is stopped"), std::string::npos) << stopped.output;
  const tRun started = run("watchdog wait --start --timeout 50");
  EXPECT_EQ(started.output, "1 expired\n");
}

TEST(WatchdogCommands, AttributesByNameOrIdWithValuesInRange) {
  EXPECT_EQ(run("watchdog get timeout").output, "5000\n");
  EXPECT_EQ(run("--json watchdog set expiryAction 2").output,
            "{\"attribute\":\"watchdog-expiry-action\",\"id\":\"0x20070200\",\"status\":0}\n");
  // Names as they are printed, in any case.
  EXPECT_EQ(runScript("$K watchdog set expiry-action reset && $K watchdog get expiry-action && "
                      "$K set watchdog-expiry-action TRIGGER && $K watchdog get expiry-action")
                .output,
            "1 (reset)\n2 (trigger)\n");
  // Out of range is a usage error, whichever command says it.
  for (const char* arguments : {"watchdog set timeout 0", "watchdog start --timeout 0", "set watchdog-timeout 0",
                                "watchdog set expiry-action 3", "watchdog set expiry-action sideways"}) {
    const tRun refused = run(arguments);
    EXPECT_EQ(refused.exitCode, 2) << arguments;
    EXPECT_EQ(refused.output.rfind("kestrelctl: ", 0), 0u) << refused.output;
  }
  EXPECT_EQ(run("watchdog get nonsense").exitCode, 2);
  EXPECT_EQ(run("watchdog keepalive --interval 100 --for soon").exitCode, 2);
}

TEST(WatchdogCommands, SignalsStopTheTimerCleanly) {
  const tRun keepalive = runAndSignal({"--json", "watchdog", "keepalive", "--interval", "50", "--for", "20s"}, SIGTERM);
  EXPECT_EQ(keepalive.exitCode, 0) << keepalive.output;
  EXPECT_NE(keepalive.output.find("\"stoppedBy\":\"signal\""), std::string::npos) << keepalive.output;

  // Ctrl-C on a wait is no notification: 130, and the error says why.
  const tRun wait = runAndSignal({"watchdog", "wait", "--start", "--timeout", "20000"}, SIGINT);
  EXPECT_EQ(wait.exitCode, 130) << wait.output;
  EXPECT_EQ(wait.endedBySignal, 0);
  EXPECT_EQ(wait.output, "kestrelctl: wait for a notification: cancelled by Ctrl-C (SIGINT)\n");
  const tRun terminated = runAndSignal({"--json", "watchdog", "wait", "--within", "20s"}, SIGTERM);
  EXPECT_EQ(terminated.exitCode, 143) << terminated.output;
  EXPECT_EQ(terminated.endedBySignal, 0);
  EXPECT_NE(terminated.output.find("{\"error\":{\"code\":null,"), std::string::npos) << terminated.output;
  EXPECT_NE(terminated.output.find("\"name\":\"interrupted\""), std::string::npos) << terminated.output;
}

}  // namespace
