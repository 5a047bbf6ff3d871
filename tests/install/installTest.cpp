// `cmake --install` into a temporary prefix, the tree moved elsewhere: the
// installed kestrel-sim runs the installed kestrelctl with its own
// simulator library and boards, nothing of the build tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "programRun.h"

namespace {

namespace fs = std::filesystem;

using kestrelTest::tProgramRun;

// Runs a shell command line; stdout and stderr together.
tProgramRun run(const std::string& command) {
  return kestrelTest::runShell(command, kestrelTest::tErrorOutput::kWithOutput);
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class InstalledTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrel-install.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    const fs::path staged = scratch_ / "staged";
    const tProgramRun install = run(std::string(KESTREL_CMAKE_COMMAND) + " --install " + quoted(KESTREL_BUILD_DIR) +
                             " --prefix " + quoted(staged));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    prefix_ = scratch_ / "moved" / "elsewhere";
    fs::create_directories(prefix_.parent_path());
    fs::rename(staged, prefix_);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
  }

  // A command under the installed kestrel-sim, with nothing pointing at the build tree.
  tProgramRun underSimulator(const std::string& command, const std::string& options = "") const {
    return run("env -u KESTREL_SIM_LIBRARY -u LD_PRELOAD " + quoted(prefix_ / "bin/kestrel-sim") + " " + options +
               " -- " + command);
  }

  fs::path scratch_;
  fs::path prefix_;
};

TEST_F(InstalledTree, RunsTheToolsFromWhereverItIsMoved) {
  const tProgramRun info = underSimulator(quoted(prefix_ / "bin/kestrelctl") + " info");
  EXPECT_EQ(info.exitCode, 0) << info.output;
  EXPECT_FALSE(info.output.empty());

  // The simulator library and the boards are the installed ones.
  const tProgramRun environment = underSimulator("sh -c 'echo \"$LD_PRELOAD\"; echo \"$KESTREL_SIM_BOARDS\"'");
  ASSERT_EQ(environment.exitCode, 0) << environment.output;
  EXPECT_NE(environment.output.find(prefix_.string() + "/lib"), std::string::npos) << environment.output;
  EXPECT_NE(environment.output.find(prefix_.string() + "/share/kestrel/boards"), std::string::npos)
      << environment.output;
}

TEST_F(InstalledTree, CarriesWhatAUserNeeds) {
  const char* const expected[] = {
      "include/kestrel/kestrel.h",
      "share/kestrel/boards/default.json",
      "share/kestrel/profiles/default.json",
      "share/doc/kestrel/README.md",
      "share/doc/kestrel/simulator.md",
      "share/bash-completion/completions/kestrelctl",
      "share/bash-completion/completions/kestrel-sim",
  };
  for (const char* file : expected) EXPECT_TRUE(fs::exists(prefix_ / file)) << file;
  if (KESTREL_MAN_PAGES_BUILT) {
    for (const char* page : {"share/man/man1/kestrelctl.1", "share/man/man1/kestrel-sim.1",
                             "share/man/man3/libkestrel.3"}) {
      EXPECT_TRUE(fs::exists(prefix_ / page)) << page;
    }
  }
  // A shipped profile, by its installed path.
  const tProgramRun profiled = underSimulator(quoted(prefix_ / "bin/kestrelctl") + " info",
                                      "--profile " + quoted(prefix_ / "share/kestrel/profiles/noCompanion.json"));
  EXPECT_EQ(profiled.exitCode, 0) << profiled.output;
}

}  // namespace
