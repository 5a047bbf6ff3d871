// No program of a run can hold up, starve or take over another program's
// driver: a connection that stops in the middle of a frame or of a read of
// its memory, sends a huge header, names handles it never held, or asks
// about another program's sockets costs only itself.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <array>
#include <cstring>
#include <fstream>
#include <random>

#include "firmware/firmwareFileWriter.h"
#include "platform/driverWireFormat.h"
#include "sharedDriverFixture.h"
#include "sim/driver/tDriverChannel.h"
#include "sim/driver/tFrameAssembler.h"
#include "sim/models/tWatchdogModel.h"

namespace {

using namespace nSharedDriver;
using namespace nKESTREL1400::nDriverWire;
using nKESTRELSIM::tChannelMessage;
using nKESTRELSIM::tChannelMessageType;
using nKESTRELSIM::tDriverChannel;
using nKESTRELSIM::tFrameHeader;
using nKESTRELSIM::tPayloadReader;

constexpr auto kPromptly = 50ms;
constexpr const char* kWatchdogNode = "/dev/zesim/kestrel/hostController_hostControllerWatchdog-0";

// 0 when every one of `times` watchdog attribute reads was answered within
// `limit`; 5 when one was late.
int readsWithin(std::chrono::milliseconds limit, int times) {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
  for (int i = 0; i < times; ++i) {
    std::uint32_t value = 0;
    const auto begin = std::chrono::steady_clock::now();
    if (KESTREL_getAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, &value) < 0) return 3;
    if (std::chrono::steady_clock::now() - begin > limit) return 5;
  }
  KESTREL_closeWatchdog(watchdog);
  return 0;
}

// A connection of the test's own, speaking the driver's protocol by hand.
class tRawClient {
 public:
  explicit tRawClient(const std::string& socketPath) { EXPECT_TRUE(channel_.connect(socketPath)); }

  tDriverChannel& channel() { return channel_; }
  bool sendBytes(const void* bytes, std::size_t size) {
    return ::send(channel_.descriptor(), bytes, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }
  bool sendHeader(tChannelMessageType type, std::uint32_t length) {
    const tFrameHeader header{static_cast<std::uint32_t>(type), length, 0};
    return sendBytes(&header, sizeof header);
  }
  // True once the driver has ended the connection (nothing more to read).
  bool ended() {
    char byte = 0;
    pollfd entry{channel_.descriptor(), POLLIN, 0};
    return ::poll(&entry, 1, 10000) == 1 && ::recv(channel_.descriptor(), &byte, 1, 0) == 0;
  }
  std::int64_t ask(const tChannelMessage& message) {
    tChannelMessage answer;
    if (!channel_.send(message) || !channel_.receive(answer) || answer.type != tChannelMessageType::kAnswer) return -1000;
    for (const int passed : answer.descriptors) ::close(passed);
    return tPayloadReader(answer.payload).get<std::int64_t>();
  }
  // The handle of the watchdog's device file, opened as a program would.
  int openWatchdog(const std::string& root) {
    const int descriptor = ::open((root + kWatchdogNode).c_str(), O_RDWR | O_CLOEXEC);
    tChannelMessage message{tChannelMessageType::kOpen, {}, {descriptor}};
    message.putText(kWatchdogNode);
    const auto handle = ask(message);
    ::close(descriptor);
    return static_cast<int>(handle);
  }
  // Sends a request with the transfer descriptor and its input record; the
  // buffers they point at stay for the driver to ask for.
  bool sendRequest(int handle, std::uint32_t code, tTransferDescriptor& transfer) {
    tChannelMessage message{tChannelMessageType::kIoctl, {}, {}};
    message.put(handle);
    message.put(static_cast<std::uint64_t>(code));
    message.put(reinterpret_cast<std::uint64_t>(&transfer));
    message.put(std::uint32_t{2});
    message.put(reinterpret_cast<std::uint64_t>(&transfer));
    message.putBytes(&transfer, sizeof transfer);
    message.put(transfer.inputAddress);
    message.putBytes(reinterpret_cast<const void*>(transfer.inputAddress), transfer.inputSize);
    return channel_.send(message);
  }
  // The next message of the driver: its type, and for kIoctlDone the errno.
  tChannelMessageType next(std::int32_t& error) {
    tChannelMessage message;
    if (!channel_.receive(message)) return tChannelMessageType{};
    tPayloadReader reader(message.payload);
    reader.get<std::int32_t>();
    error = reader.get<std::int32_t>();
    return message.type;
  }

 private:
  tDriverChannel channel_;
};

// The memory-resident size of this process, in bytes.
std::size_t residentBytes() {
  std::size_t pages = 0;
  std::size_t resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

class DriverIsolation : public SharedDriverTest {
 protected:
  void restartWithPatience(std::chrono::milliseconds patience) {
    host_->stop();
    host_->setReadBackPatience(patience);
    host_->start();
  }
  std::string socketPath() const { return root_ + "/driver"; }
};

TEST_F(DriverIsolation, AProgramStoppedMidFrameHoldsUpNoOther) {
  tRawClient oneByte(socketPath());
  ASSERT_TRUE(oneByte.sendBytes("\x03", 1));
  tRawClient partial(socketPath());
  ASSERT_TRUE(partial.sendHeader(tChannelMessageType::kIoctl, 200));
  ASSERT_TRUE(partial.sendBytes(std::array<char, 20>{}.data(), 20));
  EXPECT_EQ(finishWithin(start([] { return readsWithin(kPromptly, 20); }), 10s), 0);
  EXPECT_TRUE(eventually([&] { return host_->connections() == 2; })) << "the partial frames were kept";
}

// A program installing a large firmware image again and again is stopped
// (as a debugger stops it) at random moments: in the middle of sending its
// request, of the driver's read of its image, or of its own work.
TEST_F(DriverIsolation, AProgramStoppedDuringAFirmwareUpdateHoldsUpNoOther) {
  sim().limitReceivedImages(1);
  // The updater says when its loop begins: packing 64 MiB and a whole
  // first update take many seconds in a sanitizer build on a busy machine.
  int looping[2];
  ASSERT_EQ(pipe(looping), 0);
  const pid_t updater = start([&looping] {
    ::close(looping[0]);
    const std::vector<std::uint8_t> image(64u << 20, 0x5A);
    const nKESTREL1400::nFirmware::tPackedImage packed{"BIOS", "1.5.0f0", image};
    const std::string file = nKESTREL1400::nFirmware::packFirmwareFile({&packed, 1});
    tKestrelHandle controller = 0;
    if (KESTREL_openController(&controller) < 0) return 2;
    if (::write(looping[1], "u", 1) != 1) return 4;
    for (;;) {
      if (KESTREL_updateFirmware(controller, reinterpret_cast<const std::uint8_t*>(file.data()), file.size()) < 0) return 3;
    }
  });
  ::close(looping[1]);
  pollfd begun{looping[0], POLLIN, 0};
  ASSERT_EQ(::poll(&begun, 1, 120000), 1) << "the updater did not reach its first update in two minutes";
  char started = 0;
  ASSERT_EQ(::read(looping[0], &started, 1), 1) << "the updater ended before its first update";
  ::close(looping[0]);
  std::mt19937 random(std::random_device{}());
  for (int stop = 0; stop < 10; ++stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));  // a moment of the update's cycle
    ASSERT_EQ(kill(updater, SIGSTOP), 0);
    int status = 0;
    ASSERT_EQ(waitpid(updater, &status, WUNTRACED), updater);
    ASSERT_TRUE(WIFSTOPPED(status));
    EXPECT_EQ(finishWithin(start([] { return readsWithin(kPromptly, 5); }), 10s), 0) << "stop " << stop;
    ASSERT_EQ(kill(updater, SIGCONT), 0);
  }
}

TEST_F(DriverIsolation, AReadOfAProgramsMemoryThatNeverComesCostsOnlyItsRequest) {
  std::uint32_t value = 1234;
  tAttributeInput input{KESTREL_WATCHDOG_ATTR_TIMEOUT, 0, reinterpret_cast<std::uint64_t>(&value), sizeof value, 0};
  tStatusOutput output{};
  tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                               sizeof input, sizeof output, 0, 0};
  std::int32_t error = 0;
  tRawClient stopped(socketPath());
  const int handle = stopped.openWatchdog(root_);
  ASSERT_GE(handle, 0);
  ASSERT_TRUE(stopped.sendRequest(handle, kSetAttribute, transfer));
  ASSERT_EQ(stopped.next(error), tChannelMessageType::kRead) << "the value was asked for";
  // The program stopped in the middle of its read: others are served.
  EXPECT_EQ(finishWithin(start([] { return readsWithin(kPromptly, 20); }), 10s), 0);

  // Once the patience has run out, the request fails, and nothing of it
  // was taken: the value was never written as zeros.
  restartWithPatience(100ms);
  tRawClient slow(socketPath());
  const int slowHandle = slow.openWatchdog(root_);
  ASSERT_TRUE(slow.sendRequest(slowHandle, kSetAttribute, transfer));
  ASSERT_EQ(slow.next(error), tChannelMessageType::kRead);
  ASSERT_EQ(slow.next(error), tChannelMessageType::kIoctlDone);
  EXPECT_EQ(error, ETIMEDOUT);
  EXPECT_EQ(sim().watchdog().attributes().u32(KESTREL_WATCHDOG_ATTR_TIMEOUT), 5000u);
  // Its answer, coming late, is dropped; the connection goes on serving.
  tChannelMessage late{tChannelMessageType::kReadAnswer, {}, {}};
  late.putBytes(&value, sizeof value);
  ASSERT_TRUE(slow.channel().send(late));
  ASSERT_TRUE(slow.sendRequest(slowHandle, kSetAttribute, transfer));
  ASSERT_EQ(slow.next(error), tChannelMessageType::kRead);
  ASSERT_TRUE(slow.channel().send(late));
  ASSERT_EQ(slow.next(error), tChannelMessageType::kIoctlDone);
  EXPECT_EQ(sim().watchdog().attributes().u32(KESTREL_WATCHDOG_ATTR_TIMEOUT), 1234u);
}

TEST_F(DriverIsolation, AHugeHeaderEndsOnlyItsOwnConnection) {
  const std::size_t before = residentBytes();
  tRawClient huge(socketPath());
  ASSERT_TRUE(huge.sendHeader(tChannelMessageType::kIoctl, (1u << 30) - 1));
  EXPECT_TRUE(huge.ended());
  // A read answer nobody asked for, however long, is no frame to collect.
  tRawClient unasked(socketPath());
  ASSERT_TRUE(unasked.sendHeader(tChannelMessageType::kReadAnswer, 200u << 20));
  EXPECT_TRUE(unasked.ended());
  EXPECT_LT(residentBytes(), before + (16u << 20));
  EXPECT_EQ(finishWithin(start([] { return readsWithin(kPromptly, 5); }), 10s), 0);
}

TEST_F(DriverIsolation, HandlesNoParentHeldAreNotAdopted) {
  const pid_t holder = start([] { return reserveTrig3(true); });
  ASSERT_TRUE(eventually(anyReserved));
  tRawClient forger(socketPath());
  tChannelMessage guessed{tChannelMessageType::kAdopt, {}, {}};
  guessed.payload.assign(nKESTRELSIM::kForkTokenBytes, 0);
  ASSERT_TRUE(forger.channel().send(guessed));
  // A list of handles, the way adoptions once named them.
  tChannelMessage listed{tChannelMessageType::kAdopt, {}, {}};
  listed.put(std::uint32_t{3});
  for (int handle = 0; handle < 3; ++handle) listed.put(handle);
  ASSERT_TRUE(forger.channel().send(listed));
  ASSERT_TRUE(eventually([&] { return host_->refusedAdoptions() == 2; }));
  // Nor does a request on another program's handle reach a device.
  tTransferDescriptor transfer{};
  for (int handle = 0; handle < 1024; ++handle) {
    tChannelMessage request{tChannelMessageType::kIoctl, {}, {}};
    request.put(handle);
    request.put(static_cast<std::uint64_t>(kGetAttribute));
    request.put(reinterpret_cast<std::uint64_t>(&transfer));
    request.put(std::uint32_t{0});
    ASSERT_TRUE(forger.channel().send(request));
    std::int32_t error = 0;
    ASSERT_EQ(forger.next(error), tChannelMessageType::kIoctlDone);
    ASSERT_EQ(error, EBADF) << "handle " << handle;
  }
  // The reservation ends with its holder: the forger keeps nothing alive.
  crash(holder);
  EXPECT_TRUE(eventually([] { return !anyReserved(); }));
}

// The process is out of descriptors: the driver waits for one to free
// instead of waking for the waiting connection again and again.
TEST_F(DriverIsolation, NoDescriptorLeftPausesAcceptingInsteadOfSpinning) {
#ifdef KESTREL_TEST_SANITIZED
  GTEST_SKIP() << "the sanitizers' own checks need free descriptors (they probe memory through a pipe)";
#endif
  rlimit found{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &found), 0);
  rlimit lowered = found;
  lowered.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  // Every descriptor taken but one, which the waiting program's connection takes.
  std::vector<int> fillers;
  for (int filler = ::dup(STDIN_FILENO); filler != -1; filler = ::dup(STDIN_FILENO)) fillers.push_back(filler);
  ::close(fillers.back());
  fillers.pop_back();
  tRawClient waiting(socketPath());
  rusage begin{};
  getrusage(RUSAGE_SELF, &begin);
  std::this_thread::sleep_for(300ms);  // the span measured
  rusage end{};
  getrusage(RUSAGE_SELF, &end);
  for (const int filler : fillers) ::close(filler);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &found), 0);
  auto cpu = [](const rusage& usage) {
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  };
  EXPECT_LT(cpu(end) - cpu(begin), 100ms) << "the driver spun while out of descriptors";
  // Served once a descriptor is free again.
  tChannelMessage question{tChannelMessageType::kTakeOverrun, {}, {}};
  question.put(0);
  EXPECT_EQ(waiting.ask(question), 0);
}

// A program whose run's driver goes away: its wait ends as on the driver's
// end message, a routing session's reader lets the session go, and its
// devices answer as vanished ones do.
TEST_F(DriverIsolation, WaitsEndWhenTheDriverGoesAway) {
  const pid_t waiter = start([] {
    tKestrelHandle watchdog = 0;
    if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
    char path[256];
    uint64_t length = sizeof path;
    if (KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, path, &length) < 0) return 3;
    quillhost::tFrameworkStatus status;
    auto* session = quill_ra_kestrel_createSessionWithDemotionFunc(
        path, &quillhost::answerAllocator, [](void*, std::int32_t, tStatusReport*) {}, nullptr, status);
    if (session == nullptr) return 4;
    std::int32_t value = -1;
    if (KESTREL_waitForWatchdogNotification(watchdog, &value) != 0 || value != 3) return 5;
    quill_ra_kestrel_destroySession(session);
    std::uint32_t timeout = 0;
    const std::int32_t vanished = KESTREL_getAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, &timeout);
    KESTREL_closeWatchdog(watchdog);
    return vanished == brioerr_deviceNotFound ? 0 : 6;
  });
  ASSERT_TRUE(eventually([] { return sim().registrations().size() == 2; }));
  host_.reset();
  EXPECT_EQ(finish(waiter), 0);
}

}  // namespace
