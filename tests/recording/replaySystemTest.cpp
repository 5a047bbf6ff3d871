// The replay driver in the test's own process: recorded answers written into
// the caller's records and buffers, processes matched to recorded ones,
// divergence and lenient answers, and the system a recording describes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/record/recordingFormat.h"
#include "sim/record/tRecordLine.h"
#include "sim/replay/tReplaySystem.h"
#include "sim/system/tSimulator.h"

namespace {

using namespace nKESTRELSIM;
namespace nWire = nKESTREL1400::nDriverWire;

constexpr const char* kWatchdog = nKESTREL1400::kWatchdogInterface;

template <class T>
tBytes bytesOf(const T& value) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
  return tBytes(bytes, bytes + sizeof value);
}

// A getAttribute the way the recorder writes it: addresses zero, the value
// and the output as the driver left them.
std::string getAttributeLine(std::int64_t process, std::uint32_t id, std::uint32_t value, std::int32_t status = 0) {
  nWire::tAttributeInput input{};
  input.attributeId = id;
  input.valueSize = sizeof value;
  nWire::tTransferDescriptor descriptor{};
  descriptor.inputSize = sizeof input;
  descriptor.outputSize = sizeof(nWire::tValueOutput);
  nWire::tTransferDescriptor answered = descriptor;
  answered.result = 7;
  const nWire::tValueOutput output{sizeof value, status};
  tRecordLine line(tRecordedCall::kIoctl, process, process, 1);
  line.number("fd", 5).number("request", nWire::kGetAttribute).number("result", 0).number("error", 0);
  line.region({"descriptor", 0, bytesOf(descriptor), bytesOf(answered)});
  line.region({"input", 0, bytesOf(input), std::nullopt});
  line.region({"buffer", offsetof(nWire::tAttributeInput, valueAddress), std::nullopt, bytesOf(value)});
  line.region({"output", 0, std::nullopt, bytesOf(output)});
  return line.finish();
}

std::string interfaceLines(std::int64_t process, const std::string& devicePath) {
  const std::string directory = std::string("/proc/driver/ze/kestrel/deviceInterfaces/") + kWatchdog + "\\0";
  tRecordLine glob(tRecordedCall::kGlob, process, process, 1);
  const std::vector<std::string> paths = {directory};
  std::string text = glob.text("pattern", "/proc/driver/ze/*").number("flags", 0).number("result", 0)
                         .texts("paths", paths).finish();
  tRecordLine file(tRecordedCall::kFile, process, process, 1);
  text += file.text("path", directory + "/interfacePath").number("error", 0)
              .hex("bytes", {reinterpret_cast<const std::uint8_t*>(devicePath.data()), devicePath.size()}).finish();
  tRecordLine open(tRecordedCall::kOpen, process, process, 1);
  text += open.text("path", devicePath).number("flags", 2).number("fd", 5).number("error", 0).finish();
  return text;
}

// A request as the library makes one, with its records in its own memory.
struct tLiveRequest {
  std::uint32_t value = 0;
  nWire::tAttributeInput input{};
  nWire::tValueOutput output{0, -52024};
  nWire::tTransferDescriptor descriptor{};

  explicit tLiveRequest(std::uint32_t id) {
    input.attributeId = id;
    input.valueAddress = reinterpret_cast<std::uint64_t>(&value);
    input.valueSize = sizeof value;
    descriptor.inputAddress = reinterpret_cast<std::uint64_t>(&input);
    descriptor.inputSize = sizeof input;
    descriptor.outputAddress = reinterpret_cast<std::uint64_t>(&output);
    descriptor.outputSize = sizeof output;
  }
};

class ReplaySystem : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_.start();
    devicePath_ = simulator_.addInterface(kWatchdog).devicePath;
  }
  void TearDown() override {
    for (const int handle : handles_) simulator_.closeDescriptor(handle);
    simulator_.stop();
  }

  // The replay of the lines, each process's device opened as connection `process`.
  tReplaySystem& replay(const std::string& lines, bool lenient = false) {
    script_ = std::make_unique<tReplayScript>(readRecording(nRecording::headerLine(false) + lines));
    system_ = std::make_unique<tReplaySystem>(simulator_, *script_, lenient);
    system_->onDivergence([this](pid_t process) { stopped_.push_back(process); });
    return *system_;
  }
  int openAs(std::uint64_t connection) {
    system_->servingConnection(connection, static_cast<pid_t>(1000 + connection));
    const int handle = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    handles_.push_back(handle);
    EXPECT_EQ(system_->adoptDevice(handle, devicePath_), 0);
    return handle;
  }
  int request(std::uint64_t connection, int handle, tLiveRequest& live) {
    system_->servingConnection(connection, static_cast<pid_t>(1000 + connection));
    return system_->ioctlDescriptor(handle, nWire::kGetAttribute, &live.descriptor);
  }

  tSimulator& simulator_ = tSimulator::instance();
  std::string devicePath_;
  std::unique_ptr<tReplayScript> script_;
  std::unique_ptr<tReplaySystem> system_;
  std::vector<int> handles_;
  std::vector<pid_t> stopped_;
};

TEST_F(ReplaySystem, AMatchedRequestGetsTheRecordedAnswerInTheCallersMemory) {
  auto& system =
      replay(interfaceLines(1, devicePath_) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 0xBEEF, -26930));
  const int handle = openAs(1);
  tLiveRequest live(KESTREL_WATCHDOG_ATTR_TIMEOUT);
  EXPECT_EQ(request(1, handle, live), 0);
  EXPECT_EQ(live.value, 0xBEEFu);
  EXPECT_EQ(live.output.status, -26930);
  EXPECT_EQ(live.output.value, 4u);
  EXPECT_EQ(live.descriptor.result, 7u);
  EXPECT_EQ(live.descriptor.inputAddress, reinterpret_cast<std::uint64_t>(&live.input)) << "the caller's own fields stay";
  EXPECT_FALSE(system.divergence());
  EXPECT_FALSE(system.unreplayed());
}

TEST_F(ReplaySystem, TheFirstRequestThatDiffersEndsTheReplayWithItsReport) {
  auto& system = replay(interfaceLines(1, devicePath_) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1) +
                        getAttributeLine(1, KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, 2));
  const int handle = openAs(1);
  tLiveRequest first(KESTREL_WATCHDOG_ATTR_TIMEOUT);
  ASSERT_EQ(request(1, handle, first), 0);
  tLiveRequest other(KESTREL_WATCHDOG_ATTR_STATE);
  errno = 0;
  EXPECT_EQ(request(1, handle, other), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(other.output.status, -52024) << "nothing written into a request that left the recording";
  ASSERT_TRUE(system.divergence());
  EXPECT_EQ(stopped_, std::vector<pid_t>{1001});
  const std::string report = system.divergence()->report();
  EXPECT_NE(report.find("request 2 of process 1001 (the recording's line 6)"), std::string::npos) << report;
  EXPECT_NE(report.find("* input         0002072000"), std::string::npos) << report;
  EXPECT_NE(report.find("  request       0xC0207B01"), std::string::npos) << "the code row matches: " << report;
  tLiveRequest later(KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION);
  EXPECT_EQ(request(1, handle, later), -1) << "a diverged replay answers nothing more";
}

TEST_F(ReplaySystem, LenientAnswersFromTheModelsAndGoesOnWithTheRecording) {
  auto& system =
      replay(interfaceLines(1, devicePath_) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 0xAB), true);
  const int handle = openAs(1);
  tLiveRequest extra(KESTREL_WATCHDOG_ATTR_STATE);  // the watchdog's state: stopped
  EXPECT_EQ(request(1, handle, extra), 0);
  EXPECT_EQ(extra.output.status, 0);
  EXPECT_EQ(extra.value, 0u);
  tLiveRequest recorded(KESTREL_WATCHDOG_ATTR_TIMEOUT);
  EXPECT_EQ(request(1, handle, recorded), 0);
  EXPECT_EQ(recorded.value, 0xABu);
  ASSERT_EQ(system.unmatched().size(), 1u);
  EXPECT_NE(system.unmatched()[0].report().find("answered by the models: request 1"), std::string::npos);
  EXPECT_FALSE(system.divergence());
  EXPECT_TRUE(stopped_.empty());
}

// Two recorded processes begin alike; whichever replaying process comes
// first, each ends up with the one whose requests it makes.
TEST_F(ReplaySystem, ProcessesThatBeginAlikeFindTheirOwnRecordedProcess) {
  const std::string lines = interfaceLines(1, devicePath_) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1) +
                            getAttributeLine(1, KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, 11) +
                            interfaceLines(2, devicePath_) + getAttributeLine(2, KESTREL_WATCHDOG_ATTR_TIMEOUT, 2) +
                            getAttributeLine(2, KESTREL_WATCHDOG_ATTR_REMAINING, 22);
  for (const bool secondFirst : {false, true}) {
    auto& system = replay(lines);
    const std::uint64_t a = secondFirst ? 2 : 1;
    const std::uint64_t b = secondFirst ? 1 : 2;
    const int handleA = openAs(a);
    const int handleB = openAs(b);
    tLiveRequest startA(KESTREL_WATCHDOG_ATTR_TIMEOUT), startB(KESTREL_WATCHDOG_ATTR_TIMEOUT);
    ASSERT_EQ(request(a, handleA, startA), 0);
    ASSERT_EQ(request(b, handleB, startB), 0);
    tLiveRequest endB(KESTREL_WATCHDOG_ATTR_REMAINING), endA(KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION);
    EXPECT_EQ(request(b, handleB, endB), 0);
    EXPECT_EQ(request(a, handleA, endA), 0);
    EXPECT_EQ(endA.value, 11u);
    EXPECT_EQ(endB.value, 22u);
    EXPECT_FALSE(system.divergence()) << system.divergence()->report();
    EXPECT_FALSE(system.unreplayed());
  }
}

TEST_F(ReplaySystem, ARecordedProcessNobodyFinishedIsReported) {
  auto& system = replay(interfaceLines(1, devicePath_) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1) +
                        getAttributeLine(1, KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, 2) +
                        getAttributeLine(2, KESTREL_WATCHDOG_ATTR_REMAINING, 3));
  const int handle = openAs(1);
  tLiveRequest first(KESTREL_WATCHDOG_ATTR_TIMEOUT);
  ASSERT_EQ(request(1, handle, first), 0);
  const auto missing = system.unreplayed();
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->index, 2u);
  EXPECT_NE(missing->report().find("(the program made no more)"), std::string::npos) << missing->report();
}

TEST(ReplayScript, DescribesTheSystemTheRecordingSaw) {
  std::string lines = interfaceLines(1, "/dev/ze/elsewhere");
  const std::string output = "1.0.0f0\n'quoted' \\ %s\n";
  tRecordLine tool(tRecordedCall::kPopen, 1, 1, 1);
  lines += tool.text("command", "sudo --non-interactive /usr/local/zecorp/bin/zesafemodeversion")
               .hex("bytes", {reinterpret_cast<const std::uint8_t*>(output.data()), output.size()})
               .number("result", 3 << 8).number("error", 0).finish();
  tRecordLine install(tRecordedCall::kSystem, 1, 1, 1);
  lines += install.text("command", "/usr/local/zecorp/bin/zeinstallsafemode /tmp/x -f").number("result", 2 << 8).finish();
  const tBytes dump = {'i', 'd', 0, 1, 0, 0x7F};
  tRecordLine file(tRecordedCall::kFile, 1, 1, 1);
  lines += file.text("path", "/run/zesvc/smbios/smbiosdmp").number("error", 0).hex("bytes", dump).finish();
  tReplayScript script(readRecording(nRecording::headerLine(false) + lines));
  const auto profile = nlohmann::json::parse(script.profileJson());
  ASSERT_EQ(profile.at("interfaces").size(), 1u);
  EXPECT_EQ(profile.at("interfaces")[0].at("name"), kWatchdog);
  EXPECT_EQ(profile.at("interfaces")[0].at("suffix"), "0");
  EXPECT_EQ(profile.at("firmware").at("SAFEMODE").at("exitStatus"), 2);
  EXPECT_TRUE(profile.at("smbiosDump").get<bool>());
  EXPECT_EQ(script.smBiosDump(), dump);
  // The tool prints what was recorded, byte for byte, and ends as it ended.
  const std::string path = ::testing::TempDir() + "replayedTool";
  {
    std::ofstream(path) << profile.at("tools").at("zesafemodeversion").get<std::string>();
  }
  FILE* tool_output = popen(("sh " + path).c_str(), "r");
  ASSERT_NE(tool_output, nullptr);
  std::string printed;
  char chunk[64];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, tool_output)) > 0;) printed.append(chunk, got);
  EXPECT_EQ(WEXITSTATUS(pclose(tool_output)), 3);
  EXPECT_EQ(printed, output);
}

TEST(ReplayScript, DataNotificationsFollowTheRequestBeforeThem) {
  nWire::tDriverMessage message{};
  message.eventType = nWire::kEventNotify;
  message.cookie = 0x1234;
  nWire::tDriverMessage ended = message;
  ended.eventType = nWire::kEventEnd;
  auto received = [](const nWire::tDriverMessage& bytes) {
    tRecordLine line(tRecordedCall::kRecvmsg, 1, 2, 1);
    return line.number("fd", 6).number("flags", 0).hex("bytes", bytesOf(bytes))
        .number("result", sizeof bytes).number("error", 0).finish();
  };
  const std::string lines = received(message) + getAttributeLine(1, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1) +
                            received(message) + received(ended) +
                            getAttributeLine(1, KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, 1);
  tReplayScript script(readRecording(nRecording::headerLine(false) + lines));
  ASSERT_EQ(script.processes().size(), 1u);
  const auto& requests = script.processes()[0].requests;
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].messagesAfter.size(), 1u) << "the end message is the simulator's own; the first had no request before it";
  EXPECT_EQ(requests[1].messagesAfter.size(), 0u);
}

}  // namespace
