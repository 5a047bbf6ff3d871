// kestrelctl's route calculate and route path under kestrel-sim.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "kestrelctlRun.h"

namespace {

using kestrelctlTest::contains;
using kestrelctlTest::kestrelctl;
using kestrelctlTest::tRun;

TEST(KestrelctlRoute, CalculatePrintsTheSegments) {
  const tRun table = kestrelctl("route calculate --from PXI_Trig0:3 --from trig_smb:1 --to PXI_Trig1 --to WD_Terminal");
  EXPECT_EQ(table.exitCode, 0) << table.errors;
  EXPECT_EQ(table.output,
            "ticket 1\n"
            "DESTINATION  COST  FROM      INVERSION\n"
            "PXI_Trig1    2     trig_smb  no\n"
            "WD_Terminal  2     trig_smb  no\n");
  EXPECT_EQ(kestrelctl("--no-headings route calculate --from PXI_Trig0 --to PXI_Trig1").output,
            "ticket 1\nPXI_Trig1  1  PXI_Trig0  no\n");

  const tRun json = kestrelctl("--json route calculate --from PXI_Trig0:3 --to PXI_Trig1 --ignore-reservations");
  ASSERT_EQ(json.exitCode, 0) << json.errors;
  const auto document = nlohmann::json::parse(json.output);
  EXPECT_EQ(document.at("ticket"), 1);
  EXPECT_EQ(document.at("segments").at(0).at("destination"), "PXI_Trig1");
  EXPECT_EQ(document.at("segments").at(0).at("cost"), 4);
}

// The simulated driver adds 1 per hop; the dearest cost stays the dearest.
TEST(KestrelctlRoute, ACostNeverWraps) {
  const auto segments = nlohmann::json::parse(
      kestrelctl("--json route calculate --from PXI_Trig0:4294967295 --to PXI_Trig1").output)["segments"];
  EXPECT_EQ(segments.at(0).at("cost"), 4294967295u);
  EXPECT_EQ(kestrelctl("route calculate --from PXI_Trig0:4294967296 --to PXI_Trig1").exitCode, 2);
}

TEST(KestrelctlRoute, FailuresNameTheirCause) {
  const tRun refused = kestrelctl("route calculate --from PXI_Trig0 --to pxi_trig0");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(contains(refused.errors, "kestrelctl: calculate the route: brioerr_invalidParameter (-52005): the driver "
                                    "found no route")) << refused.errors;
  EXPECT_FALSE(contains(refused.errors, "null pointer")) << refused.errors;

  const tRun json = kestrelctl("--json route path 5");
  EXPECT_EQ(json.exitCode, 2);
  const auto error = nlohmann::json::parse(json.output).at("error");
  EXPECT_EQ(error.at("name"), "usage");
  EXPECT_EQ(error.at("message"), "no route has ticket 5");

  EXPECT_EQ(kestrelctl("route calculate --from PXI_Trig0:x --to PXI_Trig1").exitCode, 2);
  EXPECT_EQ(kestrelctl("route calculate --to PXI_Trig1").exitCode, 2);
}

TEST(KestrelctlRoute, PathOfARouteFromTheProfile) {
  const std::string profile = ::testing::TempDir() + "routeProfile.json";
  std::ofstream(profile) << R"({"triggerRouter":{"routes":[{"ticket":3,"seed":4,"destinations":[5,2,99]}]}})";
  const tRun lines = kestrelctl("route path 3", profile);
  EXPECT_EQ(lines.exitCode, 0) << lines.errors;
  EXPECT_EQ(lines.output, "PXI_Trig0\nPXI_Trig1\nTRIG_SMB\n\n");  // no terminal has id 99
  const tRun json = kestrelctl("--json route path 3", profile);
  EXPECT_EQ(json.output, "{\"path\":[\"PXI_Trig0\",\"PXI_Trig1\",\"TRIG_SMB\",\"\"],\"ticket\":3}\n");
}

}  // namespace
