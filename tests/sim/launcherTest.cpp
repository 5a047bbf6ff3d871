// kestrel-sim runs programs against a simulated controller.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#include "launcherRun.h"

namespace {

using namespace nLauncherRun;

TEST(Launcher, RunsAnyProgram) {
  const tRun env = run("-- env");
  EXPECT_EQ(env.exitCode, 0);
  EXPECT_NE(env.output.find("KESTREL_SIM_ROOT="), std::string::npos);

  EXPECT_EQ(run("-- sh -c 'exit 3'").exitCode, 3);
  const tRun dump = run("-- sh -c 'cat /run/zesvc/smbios/smbiosdmp | wc -c'");
  EXPECT_EQ(dump.exitCode, 0);
  EXPECT_GT(std::stoi(dump.output), 0);
}

TEST(Launcher, LibraryClientsSeeTheSimulatedController) {
  const tRun probe = run(std::string("-- ") + KESTREL_SIM_PROBE);
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  EXPECT_EQ(probe.output, "/dev/zesim/kestrel/hostController_hostControllerTriggerRouter-0\n");
}

TEST(Launcher, ProfileChoosesTheInterfaces) {
  const std::string profile = writeProfile("routerOnly.json", R"({
    "interfaces": [ { "name": "hostController_hostControllerTriggerRouter", "suffix": "7", "driver": "zz" } ] })");
  const tRun probe = run("--profile " + profile + " -- " + KESTREL_SIM_PROBE);
  EXPECT_EQ(probe.output, "/dev/zesim/zz/hostController_hostControllerTriggerRouter-7\n");

  const std::string none = writeProfile("empty.json", R"({ "interfaces": [], "board": "" })");
  const tRun absent = run("--profile " + none + " -- " + KESTREL_SIM_PROBE);
  EXPECT_EQ(absent.exitCode, 1);
  EXPECT_EQ(absent.output, "error -26932\n");
}

TEST(Launcher, RefusesABadProfile) {
  const std::string profile = writeProfile("bad.json", R"({ "interfaces": [ { "suffix": "0" } ] })");
  const tRun refused = run("--profile " + profile + " -- true");
  EXPECT_EQ(refused.exitCode, 125);
  EXPECT_NE(refused.output.find("interfaces[0].name"), std::string::npos) << refused.output;
}

}  // namespace

namespace {

// Whether a child of `parent` runs `program`, waiting up to ten seconds.
bool programRuns(pid_t parent, const std::string& program) {
  const std::string children = "/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    pid_t child = 0;
    if (std::ifstream(children) >> child) {
      std::string name;
      if (std::ifstream("/proc/" + std::to_string(child) + "/comm") >> name && name == program) return true;
    }
    usleep(10 * 1000);
  }
  return false;
}

// A request sent to the launcher alone reaches the program, whichever of
// the four it is.
TEST(Launcher, PassesATerminationRequestToTheProgram) {
  for (const int request : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t launcher = fork();
    ASSERT_NE(launcher, -1);
    if (launcher == 0) {
      signal(SIGINT, SIG_DFL);
      execl(KESTREL_SIM_LAUNCHER, KESTREL_SIM_LAUNCHER, "--", "sleep", "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Wait until the program runs, then ask only the launcher to stop.
    ASSERT_TRUE(programRuns(launcher, "sleep"));
    ASSERT_EQ(kill(launcher, request), 0);
    EXPECT_EQ(exitStatus(launcher), 128 + request) << "the program ended by the passed-on signal " << request;
  }
}

// Every program of one run reaches the same simulated driver.
TEST(Launcher, WhatOneProgramWritesTheNextReads) {
  const tRun shared =
      run("-- sh -c '" + ctl("watchdog set timeout 1234") + " && " + ctl("watchdog get timeout") + "'");
  EXPECT_EQ(shared.exitCode, 0) << shared.output;
  EXPECT_EQ(shared.output, "1234\n");
}

TEST(Launcher, AWatchdogArmedByOneProgramIsSeenByTheOthers) {
  const tRun shared = run("-- sh -c '" + ctl("watchdog start --timeout 60000") + " && " + ctl("watchdog get state") +
                          " && " + ctl("--json watchdog get remaining") + " && " + ctl("watchdog stop") + " && " +
                          ctl("watchdog get state") + "'");
  EXPECT_EQ(shared.exitCode, 0) << shared.output;
  EXPECT_EQ(shared.output.rfind("1 (running)\n", 0), 0u) << shared.output;
  EXPECT_NE(shared.output.find("\"value\":"), std::string::npos) << shared.output;
  EXPECT_NE(shared.output.find("0 (stopped)\n"), std::string::npos) << shared.output;

  // The timer counts down while no program runs, and its expiry reaches a
  // program waiting in another process.
  const tRun expired = run("-- sh -c '" + ctl("watchdog start --timeout 50") + " && sleep 0.3 && " +
                           ctl("watchdog get state") + "'");
  EXPECT_EQ(expired.output, "2 (expired)\n");
  const tRun waited = run("-- sh -c '" + ctl("watchdog start --timeout 3000") + " && " +
                          ctl("watchdog wait --within 20s") + "'");
  EXPECT_EQ(waited.exitCode, 0) << waited.output;
  EXPECT_NE(waited.output.find("expired"), std::string::npos) << waited.output;
}

}  // namespace
