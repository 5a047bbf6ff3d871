// kestrelctl's trigger-router commands under kestrel-sim.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

struct tRun {
  int exitCode;
  std::string output;
};

const std::string kRoutesProfile = std::string(KESTREL_SIM_PROFILES) + "/routeDemotions.json";

tRun run(const std::string& arguments, const std::string& profile = "") {
  const std::string line = std::string(KESTREL_SIM_LAUNCHER) + (profile.empty() ? "" : " --profile " + profile) +
                           " -- " + KESTRELCTL + " " + arguments + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  tRun result{-1, {}};
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pipe == nullptr ? -1 : pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(RoutingCommands, TerminalsListsTheElevenTerminals) {
  const tRun table = run("terminals");
  EXPECT_EQ(table.exitCode, 0) << table.output;
  EXPECT_NE(table.output.find("PXI_Trig5      9  yes       no     public      PXI_Trig     5  PXI_Trig5"),
            std::string::npos)
      << table.output;
  const tRun listed = run("terminals --json");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const json document = json::parse(listed.output);
  ASSERT_EQ(document["terminals"].size(), 11u);
  EXPECT_EQ(document["terminals"][1],
            (json{{"name", "TRIG_SMB"}, {"id", 2}, {"isExternal", false}, {"isOwned", true}, {"visibility", "public"},
                  {"busType", nullptr}, {"busLine", nullptr}, {"canonicalName", "TRIG_SMB"}}));
}

TEST(RoutingCommands, AnUnknownTopographyIsReportedAsJsonToo) {
  const std::string profile = std::string(KESTREL_TEST_PROFILES) + "/unknownTopography.json";
  const tRun listed = run("terminals --json", profile);
  EXPECT_EQ(listed.exitCode, 1);
  const json error = json::parse(listed.output)["error"];
  EXPECT_EQ(error["code"], -50003);
  EXPECT_EQ(error["report"]["tarn_debug"], "Topography not found: pxiContTriggerRouterV2");
  const tRun table = run("terminals", profile);
  EXPECT_EQ(table.exitCode, 1);
  EXPECT_EQ(table.output.rfind("kestrelctl: open a routing session on ", 0), 0u) << table.output;
}

TEST(RoutingCommands, ResetNamesTheTerminalExactly) {
  EXPECT_EQ(run("terminals reset PXI_Trig3 --floating").output, "PXI_Trig3 reset (floating); now driven by FLOAT\n");
  EXPECT_EQ(run("--json terminals reset TRIG_SMB").output,
            "{\"drivenBy\":{\"id\":2,\"name\":\"TRIG_SMB\"},\"mode\":\"default\",\"terminal\":\"TRIG_SMB\"}\n");
  const tRun unknown = run("terminals reset pxi_trig3");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("kestrelctl: no terminal is named 'pxi_trig3'"), std::string::npos) << unknown.output;
}

TEST(RoutingCommands, RouteStepsDriveTheProfilesRoutes) {
  EXPECT_EQ(run("route reserve 3", kRoutesProfile).output, "reserve route 3: done\n");
  EXPECT_EQ(run("route program 2", kRoutesProfile).exitCode, 0);
  EXPECT_EQ(run("route destroy 1", kRoutesProfile).exitCode, 0);
  const tRun refused = run("--json route program 3", kRoutesProfile);  // not reserved yet
  EXPECT_EQ(refused.exitCode, 1);
  const json error = json::parse(refused.output)["error"];
  EXPECT_EQ(error["code"], -52005);
  EXPECT_EQ(error["report"]["file"], "tInterfaceProxy_routing");
  EXPECT_EQ(run("route reserve three").exitCode, 2);
  EXPECT_EQ(run("route").exitCode, 2);
}

TEST(RoutingCommands, ReservationConflictsNameTheirHolders) {
  const std::string profile = std::string(KESTREL_TEST_PROFILES) + "/conflicts.json";
  const tRun conflict = run("--json route reserve 3", profile);
  EXPECT_EQ(conflict.exitCode, 1);
  const json document = json::parse(conflict.output);
  EXPECT_EQ(document["error"]["code"], -89137);
  EXPECT_EQ(document["conflicts"].size(), 3u);
}

TEST(RoutingCommands, WatchPrintsDemotionsUntilStopped) {
  const tRun counted = run("--json route watch --count 2", kRoutesProfile);
  EXPECT_EQ(counted.exitCode, 0) << counted.output;
  const auto newline = counted.output.find('\n');
  ASSERT_NE(newline, std::string::npos) << counted.output;
  EXPECT_EQ(json::parse(counted.output.substr(0, newline))["event"], 101);

  // A termination request ends a watch that sees nothing, with success.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pid_t launcher = fork();
  if (launcher == 0) {
    dup2(ends[1], STDOUT_FILENO);
    execl(KESTREL_SIM_LAUNCHER, KESTREL_SIM_LAUNCHER, "--", KESTRELCTL, "route", "watch", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[1]);
  std::string output;
  char buffer[256];
  ssize_t count = 0;
  while (output.find('\n') == std::string::npos && (count = read(ends[0], buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(count));
  }
  EXPECT_NE(output.find("watching route demotions"), std::string::npos) << output;
  kill(launcher, SIGTERM);
  while ((count = read(ends[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(count));
  close(ends[0]);
  int status = 0;
  ASSERT_EQ(waitpid(launcher, &status, 0), launcher);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << " " << output;
}

}  // namespace
