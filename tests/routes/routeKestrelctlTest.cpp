// kestrelctl's route calculate and route path under kestrel-sim.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

struct tRun {
  int exitCode;
  std::string output;
};

// Runs kestrelctl under kestrel-sim; the output is standard output, and
// standard error too unless `errors` is false.
tRun run(const std::string& arguments, const std::string& launcherOptions = "", bool errors = true) {
  const std::string command = std::string(KESTREL_SIM_LAUNCHER) + " " + launcherOptions + " -- " + KESTRELCTL + " " +
                              arguments + (errors ? " 2>&1" : " 2>/dev/null");
  tRun result{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pipe == nullptr ? -1 : pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(KestrelctlRoute, CalculatePrintsTheSegments) {
  const tRun table = run("route calculate --from PXI_Trig0:3 --from trig_smb:1 --to PXI_Trig1 --to WD_Terminal");
  EXPECT_EQ(table.exitCode, 0) << table.output;
  EXPECT_EQ(table.output,
            "ticket 1\n"
            "destination          cost  from           inversion\n"
            "PXI_Trig1               2  trig_smb       no\n"
            "WD_Terminal             2  trig_smb       no\n");

  const tRun json = run("--json route calculate --from PXI_Trig0:3 --to PXI_Trig1 --ignore-reservations");
  ASSERT_EQ(json.exitCode, 0) << json.output;
  const auto document = nlohmann::json::parse(json.output);
  EXPECT_EQ(document.at("ticket"), 1);
  EXPECT_EQ(document.at("segments").at(0).at("destination"), "PXI_Trig1");
  EXPECT_EQ(document.at("segments").at(0).at("cost"), 4);
}

TEST(KestrelctlRoute, FailuresNameTheStatusAndStayJson) {
  const tRun refused = run("route calculate --from PXI_Trig0 --to nowhere");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("kestrelctl: calculate the route: brioerr_invalidParameter (-52005)"),
            std::string::npos)
      << refused.output;

  const tRun json = run("--json route path 5", "", false);
  EXPECT_EQ(json.exitCode, 1);
  const auto document = nlohmann::json::parse(json.output);
  EXPECT_EQ(document.at("error").at("name"), "brioerr_invalidParameter");
  EXPECT_EQ(document.at("error").at("report").at("line"), 261);

  EXPECT_EQ(run("route calculate --from PXI_Trig0:x --to PXI_Trig1").exitCode, 2);
  EXPECT_EQ(run("route calculate --to PXI_Trig1").exitCode, 2);
}

TEST(KestrelctlRoute, PathOfARouteFromTheProfile) {
  const std::string profile = ::testing::TempDir() + "routeProfile.json";
  std::ofstream(profile) << R"({"triggerRouter":{"routes":[{"ticket":3,"seed":4,"destinations":[5,2,99]}]}})";
  const tRun lines = run("route path 3", "--profile " + profile);
  EXPECT_EQ(lines.exitCode, 0) << lines.output;
  EXPECT_EQ(lines.output, "PXI_Trig0\nPXI_Trig1\nTRIG_SMB\n\n");  // no terminal has id 99
  const tRun json = run("--json route path 3", "--profile " + profile);
  EXPECT_EQ(json.output, "{\"path\":[\"PXI_Trig0\",\"PXI_Trig1\",\"TRIG_SMB\",\"\"],\"ticket\":3}\n");
}

}  // namespace
