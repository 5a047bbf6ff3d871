// kestrelctl under the simulated controller, as a user runs it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "platform/deviceInterfaceNames.h"
#include "programRun.h"

namespace {

using kestrelTest::tProgramRun;

// kestrelctl under kestrel-sim; its standard output and standard error together.
tProgramRun kestrelctl(const std::string& profile, const std::string& arguments) {
  return kestrelTest::runShell(std::string(KESTREL_SIM_LAUNCHER) + " --profile " + KESTREL_SIM_PROFILES + "/" +
                                   profile + ".json -- " + KESTRELCTL + " " + arguments,
                               kestrelTest::tErrorOutput::kWithOutput);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(kestrelctl, InfoShowsTheDefaultBoard) {
  const tProgramRun run = kestrelctl("default", "info");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  // Each version with where it comes from: SMBIOS, the companion's firmware, its record of the BIOS version.
  for (const char* part :
       {"KC-8840 Embedded Controller", "Memory modules (2 populated)", "DIMM2", "BIOS version (SMBIOS)  1.4.0f2",
        "firmware version     1.2.0f3", "BIOS version record  1.4.0f2", nKESTREL1400::kTriggerRouterInterface}) {
    EXPECT_TRUE(contains(run.output, part)) << part << "\n" << run.output;
  }
}

TEST(kestrelctl, InfoAsJson) {
  const tProgramRun run = kestrelctl("noCompanion", "--json info");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const auto document = nlohmann::json::parse(run.output);
  EXPECT_EQ(document["board"]["model"], 1);
  EXPECT_EQ(document["companion"]["present"], false);
  EXPECT_EQ(document["memoryModules"].size(), 2u);
  EXPECT_EQ(document["memoryModules"][1]["locator"], "DIMM2");
}

TEST(kestrelctl, RefusedBoardsFailWithTheCodesName) {
  for (const char* profile : {"modelRefused", "unsupportedVersion"}) {
    const tProgramRun run = kestrelctl(profile, "info");
    EXPECT_EQ(run.exitCode, 1) << profile;
    EXPECT_TRUE(contains(run.output, "kestrelerr_deviceNotAvailable (-26932)")) << run.output;
  }
}

TEST(kestrelctl, GetByNameIdAndIndex) {
  EXPECT_EQ(kestrelctl("default", "get product-name").output, "KC-8840 Embedded Controller\n");
  EXPECT_EQ(kestrelctl("default", "get 0x2000CB00").output, "2\n");
  EXPECT_EQ(kestrelctl("default", "get memory-locator --index 1").output, "DIMM2\n");
  const tProgramRun json = kestrelctl("default", "--json get memory-size --index 1");
  const auto document = nlohmann::json::parse(json.output);
  EXPECT_EQ(document["value"], 8192);
  EXPECT_EQ(document["attribute"], "memory-size");

  const tProgramRun missing = kestrelctl("default", "get memory-size --index 2");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(contains(missing.output, "kestrelerr_attributeNotSupported")) << missing.output;
}

TEST(kestrelctl, SetWritesTheDevice) {
  EXPECT_EQ(kestrelctl("default", "set user-text 'bench 4'").exitCode, 0);
  const tProgramRun tooLong = kestrelctl("default", "set user-text " + std::string(300, 'x'));
  EXPECT_EQ(tooLong.exitCode, 1);
  EXPECT_TRUE(contains(tooLong.output, "kestrelerr_stringTooLong")) << tooLong.output;
  EXPECT_EQ(kestrelctl("default", "set device-value-1 seven").exitCode, 2);
}

TEST(kestrelctl, UsageErrors) {
  EXPECT_EQ(kestrelctl("default", "get no-such-attribute").exitCode, 2);
  EXPECT_EQ(kestrelctl("default", "get product-name --index 300").exitCode, 2);
  EXPECT_NE(kestrelctl("default", "").exitCode, 0);
  const tProgramRun list = kestrelctl("default", "list");
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(contains(list.output, "trigger-router-path")) << list.output;
}

}  // namespace
