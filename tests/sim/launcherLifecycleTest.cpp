// kestrel-sim from its start to its end and after: signals at any moment,
// an inherited SIGCHLD disposition, closed standard streams, arguments and
// profiles a user can get right, and programs that outlive their run.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>

#include "launcherRun.h"

namespace {

namespace fs = std::filesystem;
using namespace nLauncherRun;

// Processes whose command line holds `marker`.
int processesWith(const std::string& marker) {
  int found = 0;
  DIR* processes = opendir("/proc");
  while (const dirent* entry = processes == nullptr ? nullptr : readdir(processes)) {
    std::string line;
    std::getline(std::ifstream(std::string("/proc/") + entry->d_name + "/cmdline"), line);
    if (line.find(marker) != std::string::npos) ++found;
  }
  if (processes != nullptr) closedir(processes);
  return found;
}

// A termination request at a random moment of the start, 200 times: the
// program never outlives the launcher, and no sandbox is left.
TEST(LauncherLifecycle, ARequestAtAnyMomentOfTheStartLeavesNoOrphanAndNoSandbox) {
  const fs::path sandboxes = fs::path(::testing::TempDir()) / ("kestrel-starts-" + std::to_string(getpid()));
  fs::create_directories(sandboxes);
  const std::string marker = "30.0" + std::to_string(getpid());
  std::mt19937 random(std::random_device{}());
  for (int start = 0; start < 200; ++start) {
    const pid_t launcher = fork();
    ASSERT_NE(launcher, -1);
    if (launcher == 0) {
      setenv("TMPDIR", sandboxes.c_str(), 1);
      execl(KESTREL_SIM_LAUNCHER, KESTREL_SIM_LAUNCHER, "--", "sleep", marker.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));  // the moment of the request
    ASSERT_EQ(kill(launcher, SIGTERM), 0);
    ASSERT_EQ(exitStatus(launcher), 128 + SIGTERM) << "start " << start;
    ASSERT_EQ(processesWith(marker), 0) << "the program outlived its launcher at start " << start;
  }
  EXPECT_TRUE(fs::is_empty(sandboxes)) << "a sandbox was left in " << sandboxes;
  fs::remove_all(sandboxes);
}

// Started with SIGCHLD ignored, the launcher still waits for its program
// (and does not spin once it has ended); the program gets it ignored.
TEST(LauncherLifecycle, AnIgnoredSigchldNeitherHangsTheLauncherNorReachesTheProgramChanged) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  const pid_t launcher = fork();
  if (launcher == 0) {
    signal(SIGCHLD, SIG_IGN);
    dup2(output[1], STDOUT_FILENO);
    execl(KESTREL_SIM_LAUNCHER, KESTREL_SIM_LAUNCHER, "--", "grep", "SigIgn", "/proc/self/status",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(output[1]);
  std::string ignored;
  char buffer[256];
  for (ssize_t count = 0; (count = read(output[0], buffer, sizeof buffer)) > 0;) ignored.append(buffer, static_cast<std::size_t>(count));
  close(output[0]);
  EXPECT_EQ(exitStatus(launcher), 0) << ignored;
  ASSERT_NE(ignored.find(':'), std::string::npos) << ignored;
  const auto mask = std::stoull(ignored.substr(ignored.find(':') + 1), nullptr, 16);
  EXPECT_NE(mask & (1ull << (SIGCHLD - 1)), 0u) << ignored;
}

// A stream the launcher was given closed is closed for the program too:
// the simulator's connection to the driver never takes it, and output to a
// closed stream fails as it does without the simulator.
TEST(LauncherLifecycle, ClosedStandardStreamsStayClosed) {
  for (const char* stream : {"0<&-", "1>&-", "2>&-"}) {
    const tRun probe = runShell(std::string(KESTREL_SIM_LAUNCHER) + " -- " + KESTREL_SIM_PROBE + " --closed " +
                                std::string(1, stream[0]) + " " + stream);
    EXPECT_EQ(probe.exitCode, 0) << stream << ": " << probe.output;
  }
  EXPECT_EQ(runShell(std::string(KESTREL_SIM_LAUNCHER) + " -- " + ctl("info") + " >&- 2>/dev/null").exitCode, 1);
}

TEST(LauncherLifecycle, ArgumentsAUserCanGetRight) {
  const tRun unseparated = run(ctl("--json info"));
  EXPECT_EQ(unseparated.exitCode, 125);
  EXPECT_NE(unseparated.output.find("put -- before the program"), std::string::npos) << unseparated.output;

  const tRun absent = run("-- /no/such/program");
  EXPECT_EQ(absent.exitCode, 127);
  EXPECT_NE(absent.output.find("cannot run /no/such/program: No such file or directory"), std::string::npos)
      << absent.output;

  // A shipped profile by its name.
  const tRun named = run("--profile routeLifecycle -- " + ctl("route program 2"));
  EXPECT_EQ(named.exitCode, 0) << named.output;
  const tRun unknown = run("--profile noSuchProfile -- true");
  EXPECT_EQ(unknown.exitCode, 125);
  EXPECT_NE(unknown.output.find("routeLifecycle"), std::string::npos) << unknown.output;
}

// A board outside the profile's folder is refused before anything runs,
// and a board's bytes never reach the message.
TEST(LauncherLifecycle, BoardsAreReadFromTheProfilesFolderOnly) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("kestrel-boards-" + std::to_string(getpid()));
  fs::create_directories(folder / "boards");
  fs::copy_file(fs::path(KESTREL_SIM_BOARDS) / "default.json", folder / "boards" / "mine.json",
                fs::copy_options::overwrite_existing);
  std::ofstream(folder / "mine.json") << R"({ "board": "boards/mine.json" })";
  EXPECT_EQ(run("--profile " + (folder / "mine.json").string() + " -- " + ctl("info")).exitCode, 0);

  std::ofstream(folder / "outside.json") << R"({ "board": "/etc/passwd" })";
  const tRun outside = run("--profile " + (folder / "outside.json").string() + " -- true");
  EXPECT_EQ(outside.exitCode, 125);
  EXPECT_NE(outside.output.find("profile: board: /etc/passwd: not a file inside the profile's folder"),
            std::string::npos)
      << outside.output;
  std::ofstream(folder / "text.board") << "root:x:0:0:root:/root:/bin/bash\n";
  std::ofstream(folder / "text.json") << R"({ "board": "./text.board" })";
  const tRun text = run("--profile " + (folder / "text.json").string() + " -- true");
  EXPECT_EQ(text.exitCode, 125);
  EXPECT_NE(text.output.find("text.board: not JSON (line 1, column 1)"), std::string::npos) << text.output;
  EXPECT_EQ(text.output.find("root"), std::string::npos) << "the board's bytes were shown: " << text.output;
  EXPECT_EQ(text.output.find('\n'), text.output.size() - 1) << "one line: " << text.output;
  fs::remove_all(folder);
}

TEST(LauncherLifecycle, ScriptedDemotionsGoOnForTheWholeRun) {
  const tRun watched = run("--profile routeDemotions -- " + ctl("--json route watch --count 5"));
  EXPECT_EQ(watched.exitCode, 0) << watched.output;
  std::istringstream lines(watched.output);
  int demotions = 0;
  for (std::string line; std::getline(lines, line);) demotions += line.find("\"demotion\"") != std::string::npos;
  EXPECT_EQ(demotions, 5) << watched.output;  // never more than asked for
}

// Programs left running when their run ends learn that its driver has gone
// away: their waits end, and so do those of programs whose launcher is
// killed; programs started afterwards are told so instead of dying silently.
TEST(LauncherLifecycle, ProgramsThatOutliveTheirRunEnd) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("kestrel-outlive-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string waits = (folder / "waits").string();
  const std::string watch = (folder / "watch").string();
  // The run ends once both wait.
  const std::string script = std::string(KESTREL_SIM_PROBE) + " --wait > " + waits + " 2>&1 & (" + ctl("route watch") +
                             " > " + watch + " 2>&1; echo \"exit $?\" >> " + watch + ") & until grep -q waiting " +
                             waits + " && grep -q watching " + watch + "; do sleep 0.01; done";
  const tRun ended = run("-- sh -c '" + script + "'");
  EXPECT_EQ(ended.exitCode, 0) << ended.output;
  EXPECT_TRUE(eventually([&] { return slurp(waits).find("ended 0 3") != std::string::npos; })) << slurp(waits);
  EXPECT_TRUE(eventually([&] { return slurp(watch).find("exit 1") != std::string::npos; })) << slurp(watch);

  const std::string killedWaits = (folder / "killed").string();
  const std::string later = (folder / "later").string();
  const pid_t launcher = fork();
  if (launcher == 0) {
    setenv("TMPDIR", folder.c_str(), 1);  // a killed launcher leaves its sandbox
    const std::string script = std::string(KESTREL_SIM_PROBE) + " --wait > " + killedWaits + " 2>&1 & wait; (" +
                               ctl("info") + "; echo \"exit $?\") > " + later + " 2>&1";
    execl(KESTREL_SIM_LAUNCHER, KESTREL_SIM_LAUNCHER, "--", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_TRUE(eventually([&] { return slurp(killedWaits).find("waiting") != std::string::npos; }));
  ASSERT_EQ(kill(launcher, SIGKILL), 0);
  EXPECT_EQ(exitStatus(launcher), 128 + SIGKILL);
  EXPECT_TRUE(eventually([&] { return slurp(killedWaits).find("ended 0 3") != std::string::npos; }))
      << slurp(killedWaits);
  EXPECT_TRUE(eventually([&] { return slurp(later).find("exit 1") != std::string::npos; })) << slurp(later);
  EXPECT_NE(slurp(later).find("kestrel-sim: the simulated controller of this run has ended"), std::string::npos)
      << slurp(later);
  fs::remove_all(folder);
}

}  // namespace
