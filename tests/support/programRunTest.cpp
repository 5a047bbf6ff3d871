// The helper the tool tests run programs with: what they assert on rests on
// its streams and exit statuses being exactly the program's.
#include "programRun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrelTest::runShell;
using kestrelTest::tErrorOutput;

TEST(ProgramRun, StreamsApartOrTogether) {
  const auto apart = runShell("printf 'out\\0put'; echo err >&2; exit 3");
  EXPECT_EQ(apart.exitCode, 3);
  EXPECT_EQ(apart.endedBySignal, 0);
  EXPECT_EQ(apart.output, std::string("out\0put", 7));
  EXPECT_EQ(apart.errors, "err\n");

  const auto together = runShell("echo one; echo two >&2; echo three", tErrorOutput::kWithOutput);
  EXPECT_EQ(together.exitCode, 0);
  EXPECT_EQ(together.output, "one\ntwo\nthree\n");
  EXPECT_EQ(together.errors, "");
}

// More than a pipe holds on both streams at once: neither writer may stall.
TEST(ProgramRun, LargeOutputOnBothStreams) {
  const auto run = runShell("head -c 300000 /dev/zero; head -c 300000 /dev/zero >&2; head -c 70000 /dev/zero");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output.size(), 370000u);
  EXPECT_EQ(run.errors.size(), 300000u);
}

TEST(ProgramRun, AnEndingSignalAsAShellReportsIt) {
  const auto killed = runShell("kill -TERM $$");
  EXPECT_EQ(killed.exitCode, 128 + SIGTERM);
  EXPECT_EQ(killed.endedBySignal, SIGTERM);

  auto started = kestrelTest::startProgram({"sleep", "30"}, tErrorOutput::kApart);
  ASSERT_GT(started.pid, 0);
  ASSERT_EQ(kill(started.pid, SIGKILL), 0);
  EXPECT_EQ(kestrelTest::finish(started).exitCode, 128 + SIGKILL);

  auto absent = kestrelTest::startProgram({"/no/such/program"}, tErrorOutput::kApart);
  EXPECT_EQ(kestrelTest::finish(absent).exitCode, 127);
}

}  // namespace
