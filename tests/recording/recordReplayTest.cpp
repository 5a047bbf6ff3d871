// Programs recorded under kestrel-record stacked above the simulator (the
// path a controller takes), then replayed with kestrel-sim --replay: the
// same output, byte for byte; a program that changed is stopped at the
// request that left the recording; a recording that was cut off is refused
// with its line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/driverWireFormat.h"
#include "programRun.h"
#include "sim/record/tRecordingReader.h"

namespace {

using kestrelTest::runShell;
using kestrelTest::tErrorOutput;

const std::string kSim = KESTREL_SIM_LAUNCHER;
const std::string kRecord = KESTREL_RECORD_LAUNCHER;
const std::string kCtl = KESTREL_CTL;

// CTest runs each test in a process of its own, several at once: every
// process writes files of its own.
std::string temporary(const std::string& name) {
  return ::testing::TempDir() + "recordReplay-" + std::to_string(getpid()) + "-" + name;
}

std::string record(const std::string& file, const std::string& command, const std::string& options = "",
                   tErrorOutput errors = tErrorOutput::kWithOutput) {
  const auto run = runShell(kSim + " " + options + " -- " + kRecord + " -o " + file + " -- " + command, errors);
  EXPECT_EQ(run.exitCode, 0) << run.output << run.errors;
  return run.output;
}

kestrelTest::tProgramRun replay(const std::string& file, const std::string& command, const std::string& options = "",
                                tErrorOutput errors = tErrorOutput::kWithOutput) {
  return runShell(kSim + " --replay " + file + " " + options + " -- " + command, errors);
}

std::string hexOf(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : text) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0x0F];
  }
  return hex;
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
    if (exchange.call == nKESTRELSIM::tRecordedCall::kIoctl &&
        exchange.number("request") == nKESTREL1400::nDriverWire::kReserveRoute && reserveLine.empty()) {
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

// Both programs begin with the same requests: which recorded process each
// replaying one is stays open until their requests differ.
TEST(RecordReplay, TwoProcessesAtOnceReplayWithBoth) {
  const std::string first = temporary("first.txt");
  const std::string second = temporary("second.txt");
  const std::string command = shellQuoted("(" + kCtl + " info > " + first + " & " + kCtl + " firmware status > " +
                                          second + "; wait; cat " + first + " " + second + ")");
  const std::string file = temporary("two.krec");
  const std::string recorded = record(file, command);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto replayed = replay(file, command);
    EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
    EXPECT_EQ(replayed.output, recorded);
  }
}

// The image goes to the driver as caller memory the request points at: it is
// compared on replay, so an update with another image leaves the recording.
TEST(RecordReplay, FirmwareUpdateReplaysAndAnotherImageIsTold) {
  const std::string image = writeFile("bios.img", std::string(3000, 'B'));
  const std::string update = temporary("bios.fw");
  ASSERT_EQ(runShell(kCtl + " firmware pack " + image + " --target BIOS --version 9.0.0f0 -o " + update).exitCode, 0);
  const std::string file = temporary("bios.krec");
  const std::string command = kCtl + " firmware update " + update;
  const std::string recorded = record(file, command, "", tErrorOutput::kApart);
  EXPECT_NE(recorded.find("installed"), std::string::npos) << recorded;
  const auto replayed = replay(file, command, "", tErrorOutput::kApart);
  EXPECT_EQ(replayed.exitCode, 0) << replayed.errors;
  EXPECT_EQ(replayed.output, recorded);

  const std::string other = writeFile("other.img", std::string(3000, 'C'));
  ASSERT_EQ(runShell(kCtl + " firmware pack " + other + " --target BIOS --version 9.0.0f0 -o " + update).exitCode, 0);
  const auto changed = replay(file, command, "", tErrorOutput::kApart);
  EXPECT_EQ(changed.exitCode, 120) << changed.errors;
  EXPECT_NE(changed.errors.find("* buffer +0"), std::string::npos) << changed.errors;
}

TEST(RecordReplay, SafeModeToolsAreAnsweredFromTheRecording) {
  const std::string image = writeFile("safe.img", std::string(1000, 'S'));
  const std::string update = temporary("safe.fw");
  ASSERT_EQ(runShell(kCtl + " firmware pack " + image + " --target SAFEMODE --version 9.0.0f0 -o " + update).exitCode, 0);
  const std::string file = temporary("safe.krec");
  const std::string command = kCtl + " firmware update " + update;
  const std::string recorded = record(file, command, "--profile safeMode", tErrorOutput::kApart);
  EXPECT_NE(recorded.find("installed"), std::string::npos) << recorded;
  bool ranTool = false;
  for (const auto& exchange : nKESTRELSIM::readRecordingFile(file).exchanges) {
    ranTool = ranTool || exchange.call == nKESTRELSIM::tRecordedCall::kPopen;
  }
  EXPECT_TRUE(ranTool);
  // The default system has no safe-mode tools: only the recording's make this an install.
  const auto replayed = replay(file, command, "", tErrorOutput::kApart);
  EXPECT_EQ(replayed.exitCode, 0) << replayed.errors;
  EXPECT_EQ(replayed.output, recorded);
}

TEST(RecordReplay, RedactedRecordingHoldsNoSerialNumberAndStillReplays) {
  const std::string file = temporary("redacted.krec");
  const std::string plain = record(temporary("plain.krec"), kCtl + " info");
  const std::string serial = "01C2F3A4";  // the default board's
  ASSERT_NE(plain.find(serial), std::string::npos) << plain;
  runShell(kSim + " -- " + kRecord + " --redact -o " + file + " -- " + kCtl + " info");
  const std::string text = slurp(file);
  EXPECT_EQ(text.find(hexOf(serial)), std::string::npos);
  EXPECT_NE(slurp(temporary("plain.krec")).find(hexOf(serial)), std::string::npos);
  EXPECT_TRUE(nKESTRELSIM::readRecordingFile(file).redacted);
  const auto replayed = replay(file, kCtl + " info");
  EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
  EXPECT_EQ(replayed.output.find(serial), std::string::npos);
  EXPECT_NE(replayed.output.find("xxxxxxxx"), std::string::npos) << replayed.output;
  EXPECT_NE(replayed.output.find("1.4.0f2"), std::string::npos) << "versions stay";
}

TEST(RecordLauncher, ItsDescriptorsStayOffTheStandardStreamsAndOutOfExecutedPrograms) {
  const std::string file = temporary("streams.krec");
  // A program started with standard output closed finds it closed.
  auto run = runShell(kSim + " -- " + kRecord + " -o " + file + " -- " + kCtl + " info >&-",
                      tErrorOutput::kWithOutput);
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot write the output"), std::string::npos) << run.output;
  EXPECT_EQ(slurp(file).find("Kestrel Controls"), std::string::npos) << "no program output in the recording";
  // The shell opens the recording for its own open; the program it then
  // executes holds only the one it opens itself.
  run = runShell(kRecord + " -o " + file + " -- sh -c 'exec 4</dev/null; exec ls -l /proc/self/fd/'",
                 tErrorOutput::kWithOutput);
  std::size_t held = 0;
  for (std::size_t at = run.output.find(file); at != std::string::npos; at = run.output.find(file, at + 1)) ++held;
  EXPECT_EQ(held, 1u) << run.output;
  EXPECT_EQ(run.output.find(" 0 -> " + file), std::string::npos);
  EXPECT_EQ(run.output.find(" 1 -> " + file), std::string::npos);
  EXPECT_EQ(run.output.find(" 2 -> " + file), std::string::npos);
}

// The recording shipped with the sources, replayed as docs/recording.md
// shows for a project's own CI.
TEST(RecordReplay, ShippedRecordingReplays) {
  const std::string shipped = std::string(KESTREL_RECORDINGS_DIR) + "/watchdogExpiry.krec";
  const auto replayed =
      replay(shipped, shellQuoted(kCtl + " watchdog start --timeout 200 && " + kCtl + " watchdog wait"));
  EXPECT_EQ(replayed.exitCode, 0) << replayed.output;
  EXPECT_EQ(replayed.output, "1 expired\n");
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
