// Programs recorded under kestrel-record stacked above the simulator (the
// path a controller takes), then replayed with kestrel-sim --replay: the
// same output, byte for byte; a program that changed is stopped at the
// request that left the recording; a recording that was cut off is refused
// with its line.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "programRun.h"
#include "sim/record/tRecordingReader.h"

namespace {

using kestrelTest::runShell;
using kestrelTest::tErrorOutput;

const std::string kSim = KESTREL_SIM_LAUNCHER;
const std::string kRecord = KESTREL_RECORD_LAUNCHER;
const std::string kCtl = KESTREL_CTL;

std::string temporary(const std::string& name) { return ::testing::TempDir() + name; }

std::string record(const std::string& file, const std::string& command) {
  const auto run = runShell(kSim + " -- " + kRecord + " -o " + file + " -- " + command, tErrorOutput::kWithOutput);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return run.output;
}

kestrelTest::tProgramRun replay(const std::string& file, const std::string& command, const std::string& options = "") {
  return runShell(kSim + " --replay " + file + " " + options + " -- " + command, tErrorOutput::kWithOutput);
}

std::string shellQuoted(const std::string& command) { return "sh -c '" + command + "'"; }

std::string writeFile(const std::string& name, const std::string& text) {
  const std::string path = temporary(name);
  std::ofstream(path) << text;
  return path;
}

std::string slurp(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

TEST(RecordReplay, InfoReplaysToTheSameOutputFromEveryKindOfDriverExchange) {
  const std::string file = temporary("info.krec");
  const std::string recorded = record(file, kCtl + " info");
  const auto recording = nKESTRELSIM::readRecordingFile(file);
  std::set<nKESTRELSIM::tRecordedCall> calls;
  for (const auto& exchange : recording.exchanges) calls.insert(exchange.call);
  for (const auto call : {nKESTRELSIM::tRecordedCall::kGlob, nKESTRELSIM::tRecordedCall::kFile,
                          nKESTRELSIM::tRecordedCall::kOpen, nKESTRELSIM::tRecordedCall::kIoctl,
                          nKESTRELSIM::tRecordedCall::kClose}) {
    EXPECT_EQ(calls.count(call), 1u) << nKESTRELSIM::callName(call);
  }
  const auto replayed = replay(file, kCtl + " info");
  EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
  EXPECT_EQ(replayed.output, recorded);
}

TEST(RecordReplay, WatchdogExpiryReachesTheSecondProcessAtItsRecordedMoment) {
  const std::string file = temporary("watchdog.krec");
  const std::string command = shellQuoted(kCtl + " watchdog start --timeout 200 && " + kCtl + " watchdog wait");
  const std::string recorded = record(file, command);
  EXPECT_EQ(recorded, "1 expired\n");
  std::set<std::int64_t> processes;
  bool received = false;
  for (const auto& exchange : nKESTRELSIM::readRecordingFile(file).exchanges) {
    if (exchange.call == nKESTRELSIM::tRecordedCall::kIoctl) processes.insert(exchange.process);
    received = received || exchange.call == nKESTRELSIM::tRecordedCall::kRecvmsg;
  }
  EXPECT_EQ(processes.size(), 2u) << "both processes append to the one file";
  EXPECT_TRUE(received);
  const auto replayed = replay(file, command);
  EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
  EXPECT_EQ(replayed.output, recorded);
}

class RouteReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    steps_ = writeFile("route.txt", "calculate --from PXI_Trig0 --to PXI_Trig1\npath last\nreserve last\n"
                                    "program last\nroutes\nunprogram last\nunreserve last\ndestroy last\n");
    recorded_ = record(file_, kCtl + " route shell " + steps_);
  }
  std::string file_ = temporary("route.krec");
  std::string steps_;
  std::string recorded_;
};

TEST_F(RouteReplay, LifecycleReplaysToTheSameOutput) {
  const auto replayed = replay(file_, kCtl + " route shell " + steps_);
  EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
  EXPECT_EQ(replayed.output, recorded_);
}

TEST_F(RouteReplay, AnExtraRequestIsReportedAtTheExchangeItTookThePlaceOf) {
  std::string reserveLine;
  for (const auto& exchange : nKESTRELSIM::readRecordingFile(file_).exchanges) {
    if (exchange.call == nKESTRELSIM::tRecordedCall::kIoctl && exchange.number("request") == 0x00208003 &&
        reserveLine.empty()) {
      reserveLine = std::to_string(exchange.line);
    }
  }
  const std::string changed = writeFile("route2.txt", "calculate --from PXI_Trig0 --to PXI_Trig1\npath last\n"
                                                      "path last\nreserve last\n");
  const auto strict = replay(file_, kCtl + " route shell " + changed);
  EXPECT_EQ(strict.exitCode, 120) << strict.output;
  EXPECT_NE(strict.output.find("the recording's line " + reserveLine + ")"), std::string::npos) << strict.output;
  EXPECT_NE(strict.output.find("* request       0x00208003"), std::string::npos) << strict.output;
  EXPECT_NE(strict.output.find("0x00208007"), std::string::npos) << "the path request the program made instead";

  const auto lenient = replay(file_, kCtl + " route shell " + changed, "--lenient");
  EXPECT_NE(lenient.output.find("reserve route 1: done"), std::string::npos) << lenient.output;
  EXPECT_NE(lenient.output.find("request(s) not in the recording were answered by the models"), std::string::npos)
      << lenient.output;
}

TEST_F(RouteReplay, AProgramThatEndsBeforeTheRecordingIsReported) {
  const auto replayed = replay(file_, "true");
  EXPECT_EQ(replayed.exitCode, 120) << replayed.output;
  EXPECT_NE(replayed.output.find("(the program made no more)"), std::string::npos) << replayed.output;
}

TEST_F(RouteReplay, ACutOrEditedRecordingIsRefusedWithItsLine) {
  const std::string text = slurp(file_);
  const std::string cut = writeFile("cut.krec", text.substr(0, text.size() - 20));
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  auto refused = replay(cut, kCtl + " route shell " + steps_);
  EXPECT_EQ(refused.exitCode, 125) << refused.output;
  EXPECT_NE(refused.output.find("line " + std::to_string(lines) + ": cut off"), std::string::npos) << refused.output;

  std::string edited = text;
  edited.replace(edited.find("\"version\":1"), 11, "\"version\":9");
  refused = replay(writeFile("version.krec", edited), kCtl + " route shell " + steps_);
  EXPECT_EQ(refused.exitCode, 125);
  EXPECT_NE(refused.output.find("line 1: format version 9"), std::string::npos) << refused.output;
}

TEST(RecordLauncher, RefusesWhatItCannotRecordAndRunsWhatItCan) {
  auto run = runShell(kRecord + " -o /nonexistent/dir/x.krec -- true", tErrorOutput::kWithOutput);
  EXPECT_EQ(run.exitCode, 125);
  EXPECT_NE(run.output.find("cannot create the recording"), std::string::npos) << run.output;
  run = runShell(kRecord + " -o " + temporary("none.krec") + " -- /nonexistent/program", tErrorOutput::kWithOutput);
  EXPECT_EQ(run.exitCode, 127) << run.output;
  run = runShell(kRecord + " -o " + temporary("exit.krec") + " -- sh -c 'exit 7'", tErrorOutput::kWithOutput);
  EXPECT_EQ(run.exitCode, 7) << "the program's own exit status";
  EXPECT_EQ(nKESTRELSIM::readRecordingFile(temporary("exit.krec")).exchanges.size(), 0u);
}

}  // namespace
