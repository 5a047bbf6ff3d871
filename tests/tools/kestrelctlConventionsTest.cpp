// kestrelctl's promises to people and scripts, through the built programs:
// exit statuses, JSON that always parses, texts that never reach a terminal
// raw, decoded values, and commands that refuse bad input up front.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "kestrelctlRun.h"

namespace {

namespace fs = std::filesystem;

using kestrelctlTest::contains;
using kestrelctlTest::kestrelctl;
using kestrelctlTest::runShell;
using kestrelctlTest::tRun;

// A profile file in a scratch folder, for the test board.
fs::path oddTextsProfile() {
  static const fs::path path = [] {
    const fs::path folder = fs::temp_directory_path() / ("kestrelctl-test-" + std::to_string(getpid()));
    fs::create_directories(folder);
    // A profile's board file lies in the profile's folder.
    fs::copy_file(std::string(KESTREL_TEST_BOARDS) + "/oddTexts.json", folder / "oddTextsBoard.json",
                  fs::copy_options::overwrite_existing);
    const fs::path profile = folder / "oddTexts.json";
    std::ofstream(profile) << nlohmann::json{{"board", "oddTextsBoard.json"}}.dump();
    return profile;
  }();
  return path;
}

TEST(kestrelctlOutput, JsonStaysValidAndTextIsEscapedWhateverTheFirmwareHolds) {
  const tRun json = kestrelctl("info --json", oddTextsProfile().string());
  ASSERT_EQ(json.exitCode, 0) << json.errors;
  const auto document = nlohmann::json::parse(json.output);
  EXPECT_EQ(document["board"]["manufacturer"], "M\xEF\xBF\xBDller GmbH");  // U+FFFD for the Latin-1 byte
  EXPECT_EQ(document["board"]["product"], "KC-8840 \x1b[31mRed\x1b[0m");  // valid UTF-8 stays as it is

  const tRun text = kestrelctl("info", oddTextsProfile().string());
  ASSERT_EQ(text.exitCode, 0) << text.errors;
  EXPECT_TRUE(contains(text.output, "M\\xfcller GmbH")) << text.output;
  EXPECT_TRUE(contains(text.output, "KC-8840 \\x1b[31mRed\\x1b[0m")) << text.output;
  EXPECT_FALSE(contains(text.output, "\x1b")) << "a raw escape reached the terminal";
  // A right-to-left override and a C1 control are escaped as control bytes are.
  EXPECT_TRUE(contains(text.output, "01C2\\xe2\\x80\\xaeF3A4")) << text.output;
  EXPECT_TRUE(contains(text.output, "B\\xc2\\x9b2J")) << text.output;
  EXPECT_EQ(document["board"]["serialNumber"], "01C2\u202eF3A4");
  EXPECT_EQ(kestrelctl("get system-manufacturer", oddTextsProfile().string()).output, "M\\xfcller GmbH\n");
}

TEST(kestrelctlOutput, MemorySizesAreDecoded) {
  const tRun text = kestrelctl("info", oddTextsProfile().string());
  for (const char* size : {"32 GB or more (extended size)", "512 kB", "Unknown", "16 GB"}) {
    EXPECT_TRUE(contains(text.output, size)) << size << "\n" << text.output;
  }
  EXPECT_FALSE(contains(text.output, "32767")) << text.output;
  const auto modules = nlohmann::json::parse(kestrelctl("--json info", oddTextsProfile().string()).output)["memoryModules"];
  ASSERT_EQ(modules.size(), 4u);
  EXPECT_TRUE(modules[0]["sizeMiB"].is_null());
  EXPECT_EQ(modules[1]["sizeMiB"], 0.5);
  EXPECT_TRUE(modules[2]["sizeMiB"].is_null());
  EXPECT_EQ(modules[3]["sizeMiB"], 16384);
  EXPECT_EQ(modules[3]["type"], "DDR4");
}

TEST(kestrelctlOutput, ColumnsAreAlignedWithoutTrailingSpaces) {
  const tRun list = kestrelctl("list");
  ASSERT_EQ(list.exitCode, 0);
  std::istringstream lines(list.output);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("NAME", 0), 0u) << line;
  const std::size_t idColumn = line.find("ID");
  while (std::getline(lines, line)) {
    EXPECT_NE(line.back(), ' ') << line;
    EXPECT_EQ(line.substr(idColumn, 2), "0x") << line;
  }
  const tRun bare = kestrelctl("list --no-headings");
  EXPECT_EQ(bare.output.rfind("controller-model", 0), 0u) << bare.output;
  EXPECT_TRUE(contains(bare.output, "watchdog-state")) << bare.output;
}

TEST(kestrelctlExit, UsageErrorsExitTwoWithThePrefix) {
  for (const char* arguments : {"", "--bogus", "get", "frobnicate", "get product-name --index", "get memory-type --index x",
                                "get memory-type --index 256", "get controller-model --index 1",
                                "get 0x2000C800 --index 1", "set device-value-1 5", "get user-text", "set board-id 1",
                                "set watchdog-state 1", "help nothing", "watchdog wait --timeout 100",
                                "watchdog keepalive --interval 100 --for ''", "watchdog keepalive --interval 0",
                                "watchdog keepalive --interval 6000 --for 1s"}) {
    const tRun run = kestrelctl(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments << "\n" << run.errors;
    EXPECT_EQ(run.errors.rfind("kestrelctl: ", 0), 0u) << arguments << "\n" << run.errors;
  }
  EXPECT_TRUE(contains(kestrelctl("set device-value-1 5").errors, "read-only"));
  for (const char* arguments : {"--help", "--version", "help", "help watchdog keepalive", "watchdog --help"}) {
    EXPECT_EQ(kestrelctl(arguments).exitCode, 0) << arguments;
  }
  EXPECT_TRUE(contains(kestrelctl("--help").output, "Exit status:"));
}

TEST(kestrelctlExit, TheLauncherExitsWith125ForItsOwnFailures) {
  const std::string launcher = KESTREL_SIM_LAUNCHER;
  EXPECT_EQ(runShell(launcher + " --profile /missing.json -- true").exitCode, 125);
  EXPECT_EQ(runShell(launcher + " --bogus -- true").exitCode, 125);
  EXPECT_EQ(runShell(launcher + " --help").exitCode, 0);
}

TEST(kestrelctlExit, AnOutputThatCannotBeWrittenIsAFailure) {
  const tRun full = kestrelctl("list > /dev/full");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_TRUE(contains(full.errors, "cannot write the output")) << full.errors;
}

TEST(kestrelctlJson, AcceptedAnywhereAndErrorsAreObjects) {
  for (const char* arguments : {"--json get product-name", "get --json product-name", "get product-name --json",
                                "watchdog --json get state", "watchdog get state --json"}) {
    const tRun run = kestrelctl(arguments);
    ASSERT_EQ(run.exitCode, 0) << arguments << run.errors;
    EXPECT_TRUE(nlohmann::json::accept(run.output)) << arguments << run.output;
  }
  const auto id = nlohmann::json::parse(kestrelctl("--json get product-name").output)["id"];
  EXPECT_EQ(id, "0x10000100");

  const tRun failed = kestrelctl("--json get memory-size --index 7");
  EXPECT_EQ(failed.exitCode, 1);
  const auto error = nlohmann::json::parse(failed.output)["error"];
  EXPECT_EQ(error["code"], -26934);
  EXPECT_EQ(error["name"], "kestrelerr_attributeNotSupported");
  EXPECT_TRUE(contains(failed.errors, "kestrelctl: get memory-size: kestrelerr_attributeNotSupported"));

  const tRun usage = kestrelctl("--json get nothing-like-it");
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(nlohmann::json::parse(usage.output)["error"]["name"], "usage");
}

TEST(kestrelctlValues, EnumerationsHaveNames) {
  EXPECT_EQ(kestrelctl("get memory-type").output, "26 (DDR4)\n");
  EXPECT_EQ(kestrelctl("watchdog get state").output, "0 (stopped)\n");
  const auto action = nlohmann::json::parse(kestrelctl("--json get watchdog-expiry-action").output);
  EXPECT_EQ(action["meaning"], "notify");
}

TEST(kestrelctlValues, AWaitWithALimitEnds) {
  const tRun run = kestrelctl("watchdog wait --within 100ms");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(contains(run.errors, "no watchdog notification within 100 ms")) << run.errors;
}

TEST(kestrelctlHints, TheDriverHintOnlyWhenNoInterfaceExists) {
  const tRun refused = kestrelctl("info", KESTREL_SIM_PROFILES "/modelRefused.json");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_FALSE(contains(refused.errors, "kernel driver loaded")) << refused.errors;
  const fs::path empty = oddTextsProfile().parent_path() / "noInterfaces.json";
  std::ofstream(empty) << R"({"interfaces": []})";
  const tRun missing = kestrelctl("info", empty.string());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(contains(missing.errors, "is the kernel driver loaded?")) << missing.errors;
}

}  // namespace
