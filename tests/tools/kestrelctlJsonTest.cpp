// kestrelctl's --json promise: exactly one JSON document on standard output
// for every success and every failure of every command, and every failure
// with its code, name, meaning, operation, message and hint. Each command's
// failure paths run through a strict parser, which refuses anything after
// the first document.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "kestrelctlRun.h"

namespace {

namespace fs = std::filesystem;
using kestrelctlTest::kestrelctl;
using kestrelctlTest::tRun;

struct tCase {
  const char* arguments;
  const char* profile;
  int exitCode;
};

class KestrelctlJson : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/kestrelctl-json.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    std::ofstream(folder_ / "noInterfaces.json") << R"({"interfaces": []})";
    std::ofstream(folder_ / "image.bin") << std::string(3000, 'k');
    std::ofstream(folder_ / "empty.fw");
    fs::create_directory(folder_ / "folder");
    std::ofstream(folder_ / "notUtf8.txt") << "calculate --from PXI_Trig0 --to \"PXI\xff_Trig1\"\n"
                                              "calculate --from PXI_Trig0 --to PXI_Trig1\n";
    const tRun bios = kestrelctlTest::runShell(std::string(KESTRELCTL) + " firmware pack --target BIOS --version 9.0.0f0 " +
                                               path("image.bin") + " -o " + path("bios.fw"));
    ASSERT_EQ(bios.exitCode, 0) << bios.errors;
    const tRun marten = kestrelctlTest::runShell(std::string(KESTRELCTL) + " firmware pack --target MARTEN --version "
                                                 "9.0.0f0 " + path("image.bin") + " -o " + path("marten.fw"));
    ASSERT_EQ(marten.exitCode, 0) << marten.errors;
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }

  static std::string path(const std::string& name) { return (folder_ / name).string(); }

  // `%` in the arguments stands for the scratch folder.
  static std::string expand(std::string arguments) {
    for (std::size_t at; (at = arguments.find('%')) != std::string::npos;) arguments.replace(at, 1, folder_.string());
    return arguments;
  }

  static std::string profileOf(const std::string& profile) {
    return profile == "noInterfaces" ? path("noInterfaces.json") : profile;
  }

  // Exactly one document; its members when it reports a failure. The
  // document, or null when there is none.
  static nlohmann::json expectOneDocument(const tCase& test) {
    const std::string arguments = expand(test.arguments);
    const tRun run = kestrelctl("--json " + arguments, profileOf(test.profile));
    SCOPED_TRACE(arguments + " (" + test.profile + ")\nstdout: " + run.output + "\nstderr: " + run.errors);
    EXPECT_EQ(run.exitCode, test.exitCode);
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << "not one compact line";
    if (!nlohmann::json::accept(run.output)) {
      ADD_FAILURE() << "not exactly one JSON document";
      return nullptr;
    }
    const auto document = nlohmann::json::parse(run.output);
    if (test.exitCode == 0) return document;
    EXPECT_TRUE(document.contains("error"));
    checkError(document.value("error", nlohmann::json::object()), test.exitCode);
    return document;
  }

  static void checkError(const nlohmann::json& error, int exitCode) {
    EXPECT_TRUE(error.contains("code") && (error["code"].is_null() || error["code"].is_number_integer()));
    for (const char* member : {"name", "meaning", "message"}) {
      EXPECT_TRUE(error.contains(member) && error[member].is_string() && !error[member].get<std::string>().empty())
          << member;
    }
    for (const char* member : {"operation", "hint"}) {
      EXPECT_TRUE(error.contains(member) && (error[member].is_null() || error[member].is_string())) << member;
    }
    if (exitCode == 2) {
      EXPECT_EQ(error.value("name", ""), "usage");
    }
  }

  static fs::path folder_;
};

fs::path KestrelctlJson::folder_;

TEST_F(KestrelctlJson, UsageErrorsOfEveryCommand) {
  const tCase cases[] = {
      {"", "default", 2},
      {"bogus", "default", 2},
      {"--json=loud list", "default", 2},
      {"help nothing", "default", 2},
      {"get", "default", 2},
      {"get nothing-like-it", "default", 2},
      {"get memory-type --index 256", "default", 2},
      {"get --index", "default", 2},
      {"set device-value-1 5", "default", 2},
      {"watchdog", "default", 2},
      {"watchdog set timeout 0", "default", 2},
      {"watchdog set expiry-action sideways", "default", 2},
      {"watchdog start --timeout soon", "default", 2},
      {"watchdog keepalive --interval 0", "default", 2},
      {"terminals reset FOO", "default", 2},
      {"route", "default", 2},
      {"route path -1", "default", 2},
      {"route path 99", "default", 2},
      {"route destroy 99", "default", 2},
      {"route calculate --from PXI_Trig0:x --to PXI_Trig1", "default", 2},
      {"route calculate --from PXI_Trig0 --to nowhere", "default", 2},
      {"route hold --from nowhere --to PXI_Trig1", "default", 2},
      {"route unprogram 3", "routeLifecycle", 2},
      {"route watch --count many", "default", 2},
      {"firmware", "default", 2},
      {"firmware pack --target bios --version 1.0.0f0 %/image.bin -o %/out.fw", "default", 2},
      {"firmware pack --target BIOS --version 1.0 %/image.bin -o %/out.fw", "default", 2},
      {"firmware pack --target BIOS --version 1.0.0f0 %/image.bin -o %/image.bin", "default", 2},
  };
  for (const auto& test : cases) expectOneDocument(test);
}

// Terminal names go to the adaptor in JSON request documents, which hold
// UTF-8 text alone: a name that is not is a usage error that says so, on
// the command line and in the shell, which answers each line with a
// document of its own and goes on.
TEST_F(KestrelctlJson, TerminalNamesThatAreNotUtf8AreUsageErrors) {
  for (const char* arguments : {
           "route calculate --from \"$(printf 'PXI_Trig0\\377')\" --to PXI_Trig1",
           "route calculate --from \"$(printf 'PXI_Trig0\\303'):1\" --to PXI_Trig1",
           "route calculate --from PXI_Trig0 --to \"$(printf '\\355\\240\\200')\"",
           "route hold --from PXI_Trig0 --to \"$(printf 'PXI_Trig1\\300\\257')\"",
       }) {
    const auto document = expectOneDocument({arguments, "default", 2});
    EXPECT_TRUE(kestrelctlTest::contains(document.dump(), "is not valid UTF-8")) << arguments;
  }

  const tRun run = kestrelctl("--json route shell " + path("notUtf8.txt"));
  SCOPED_TRACE("stdout: " + run.output + "\nstderr: " + run.errors);
  EXPECT_EQ(run.exitCode, 2);
  std::vector<nlohmann::json> documents;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    ASSERT_TRUE(nlohmann::json::accept(line)) << line;
    documents.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(documents.size(), 3u);
  checkError(documents[0]["error"], 2);
  EXPECT_EQ(documents[0]["line"], 1);
  EXPECT_TRUE(kestrelctlTest::contains(documents[0].dump(), "is not valid UTF-8"));
  EXPECT_EQ(documents[1]["line"], 2);
  EXPECT_EQ(documents[2]["released"].size(), 1u);

  const tRun text = kestrelctl("route shell " + path("notUtf8.txt"));
  EXPECT_EQ(text.exitCode, 2);
  EXPECT_TRUE(kestrelctlTest::contains(text.errors, "line 1: --to 'PXI\\xff_Trig1' is not valid UTF-8")) << text.errors;
}

TEST_F(KestrelctlJson, FailuresWithoutAController) {
  const tCase cases[] = {
      {"info", "noInterfaces", 1},
      {"get product-name", "noInterfaces", 1},
      {"set user-text rack", "noInterfaces", 1},
      {"watchdog status", "noInterfaces", 1},
      {"watchdog get state", "noInterfaces", 1},
      {"terminals", "noInterfaces", 1},
      {"route calculate --from PXI_Trig0 --to PXI_Trig1", "noInterfaces", 1},
      {"route hold --from PXI_Trig0 --to PXI_Trig1", "noInterfaces", 1},
      {"route shell /dev/null", "noInterfaces", 1},
      {"route watch", "noInterfaces", 1},
      {"firmware status", "noInterfaces", 1},
      {"firmware update %/bios.fw", "noInterfaces", 1},
      {"firmware status", "modelRefused", 1},
      {"firmware update %/bios.fw", "modelRefused", 1},
      {"firmware status", "unsupportedVersion", 1},
      {"firmware update %/bios.fw", "unsupportedVersion", 1},
  };
  for (const auto& test : cases) expectOneDocument(test);
}

TEST_F(KestrelctlJson, FailuresOfTheOperations) {
  const tCase cases[] = {
      {"get memory-size --index 7", "default", 1},
      {"watchdog wait --within 50ms", "default", 1},
      {"route program 1", "routeLifecycle", 1},
      {"firmware inspect %/missing.fw", "default", 1},
      {"firmware inspect %/folder", "default", 1},
      {"firmware inspect %/empty.fw", "default", 1},
      {"firmware inspect %/image.bin", "default", 1},
      {"firmware update %/empty.fw", "default", 1},
      {"firmware update %/bios.fw", "updateLocked", 1},
      {"firmware update %/marten.fw", "noCompanion", 1},
      {"firmware pack --target BIOS --version 1.0.0f0 %/image.bin -o /dev/full", "default", 1},
      {"firmware pack --target BIOS --version 1.0.0f0 %/empty.fw -o %/out.fw", "default", 1},
      {"firmware pack --target BIOS --version 1.0.0f0 %/image.bin -o %/missing/out.fw", "default", 1},
  };
  for (const auto& test : cases) expectOneDocument(test);
}

TEST_F(KestrelctlJson, HelpAndVersionAreDocumentsToo) {
  for (const char* arguments : {"help", "help route hold", "--version", "watchdog --help", "firmware status",
                                "watchdog status", "list", "info", "terminals", "route calculate --from PXI_Trig0 "
                                "--to PXI_Trig1", "firmware inspect %/bios.fw"}) {
    expectOneDocument({arguments, "default", 0});
  }
  EXPECT_EQ(nlohmann::json::parse(kestrelctl("--json --version").output)["program"], "kestrelctl");
  const auto help = nlohmann::json::parse(kestrelctl("--json help watchdog").output);
  EXPECT_EQ(help["usage"], "kestrelctl watchdog COMMAND");
  EXPECT_EQ(help["commands"].size(), 8u);
}

TEST_F(KestrelctlJson, OneLayoutByDefaultAndPrettyOnRequest) {
  // The same compact layout for commands that printed differently before.
  for (const char* arguments : {"info", "list", "firmware status", "watchdog get state", "get product-name"}) {
    const tRun compact = kestrelctl(std::string("--json ") + arguments);
    EXPECT_EQ(std::count(compact.output.begin(), compact.output.end(), '\n'), 1) << arguments;
    const tRun pretty = kestrelctl(std::string("--json=pretty ") + arguments);
    EXPECT_GT(std::count(pretty.output.begin(), pretty.output.end(), '\n'), 1) << arguments;
    EXPECT_EQ(nlohmann::json::parse(pretty.output), nlohmann::json::parse(compact.output)) << arguments;
  }
  const tRun prettyError = kestrelctl("--json=pretty get nothing-like-it");
  EXPECT_EQ(nlohmann::json::parse(prettyError.output)["error"]["name"], "usage");
}

}  // namespace
