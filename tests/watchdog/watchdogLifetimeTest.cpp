// The last close of the watchdog against requests in flight on other
// threads: once the close has returned, the driver sees nothing more of the
// closed session, and the timer it stopped stays stopped.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "watchdogFixture.h"

namespace {

using nKESTRELSIM::tWatchdogModel;

// Enough rounds to catch the race reliably in a plain build; the time bound
// keeps sanitizer builds, where a round is much slower, short.
constexpr int kMostRounds = 300;
constexpr auto kLongest = std::chrono::seconds(3);
// How long the main thread waits for requests to run on a session it opened.
constexpr auto kPatience = std::chrono::seconds(5);

// True once `ran` reaches `count`; false, with the test failed, when the
// threads counting it have not got there within the patience (a session
// that never opened, a request that never returns).
bool awaitRequests(const std::atomic<int>& ran, int count) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (ran.load() < count) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << ran.load() << " of " << count << " requests ran on the open session";
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

// Calls `request` until the session is gone; counts the calls that ran.
template <class Request>
std::thread untilClosed(std::atomic<int>& ran, Request request) {
  return std::thread([&ran, request] {
    for (;;) {
      const std::int32_t code = request();
      if (code == kestrelerr_invalidHandle) return;
      if (code != 0) {
        ADD_FAILURE() << "a request on the open session gave " << code;
        return;
      }
      ++ran;
    }
  });
}

// Threads start, pet and write an attribute in a loop while the main thread
// closes: every request that got in lands before the close's stop.
TEST_F(WatchdogTest, NoRequestOfAClosedSessionReachesTheDriver) {
  int lateRounds = 0;
  const auto deadline = std::chrono::steady_clock::now() + kLongest;
  for (int round = 0; round < kMostRounds && std::chrono::steady_clock::now() < deadline; ++round) {
    sim().clearRequests();
    tKestrelHandle handle = 0;
    ASSERT_EQ(KESTREL_openWatchdog(&handle), 0) << "round " << round;
    std::atomic<int> ran{0};
    std::thread starter = untilClosed(ran, [] { return KESTREL_startWatchdogTimer(kWatchdogHandle); });
    std::thread petter = untilClosed(ran, [] { return KESTREL_petWatchdog(kWatchdogHandle); });
    std::thread writer = untilClosed(ran, [] {
      return KESTREL_setAttributeU32(kWatchdogHandle, tWatchdogModel::kTimeoutAttribute, 60000);
    });
    const bool allRan = awaitRequests(ran, 3);
    KESTREL_closeWatchdog(handle);
    const std::size_t seenAtClose = sim().requests().size();
    const auto stateAtClose = model().state();
    starter.join();
    petter.join();
    writer.join();
    if (!allRan) break;
    if (stateAtClose != tWatchdogModel::tState::kStopped || sim().requests().size() != seenAtClose ||
        model().state() != tWatchdogModel::tState::kStopped) {
      ++lateRounds;
    }
  }
  EXPECT_EQ(lateRounds, 0) << "rounds in which a request reached the driver after the last close";
}

// The watchdog's model, recording when the device file was closed: the
// length of the request log at that moment.
class tCloseRecorder final : public nKESTRELSIM::tDriverModel {
 public:
  explicit tCloseRecorder(std::unique_ptr<nKESTRELSIM::tDriverModel> inner) : inner_(std::move(inner)) {}
  void handle(nKESTRELSIM::tDriverRequest& request, nKESTRELSIM::iDriverEvents& events) override {
    inner_->handle(request, events);
  }
  void released(std::uint64_t opener, nKESTRELSIM::iDriverEvents& events) override {
    closedAt = static_cast<long>(nKESTRELSIM::tSimulator::instance().requests().size());
    inner_->released(opener, events);
  }
  std::string interfaceName() const override { return inner_->interfaceName(); }

  std::atomic<long> closedAt{-1};

 private:
  std::unique_ptr<nKESTRELSIM::tDriverModel> inner_;
};

// The last close while a thread keeps starting the timer and another waits:
// the driver sees the stop, the end of the registration and the close of
// the device last, in that order, and nothing of the session after them.
TEST_F(WatchdogTest, TheLastCloseStopsUnregistersAndClosesInThatOrder) {
  tCloseRecorder* recorder = nullptr;
  sim().wrapModels([&](std::unique_ptr<nKESTRELSIM::tDriverModel> model) -> std::unique_ptr<nKESTRELSIM::tDriverModel> {
    if (!model || model->interfaceName() != nKESTREL1400::kWatchdogInterface) return model;
    auto wrapped = std::make_unique<tCloseRecorder>(std::move(model));
    recorder = wrapped.get();
    return wrapped;
  });
  ASSERT_NE(recorder, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + kLongest;
  for (int round = 0; round < kMostRounds / 3 && std::chrono::steady_clock::now() < deadline; ++round) {
    tKestrelHandle handle = 0;
    ASSERT_EQ(KESTREL_openWatchdog(&handle), 0) << "round " << round;
    sim().clearRequests();
    recorder->closedAt = -1;
    std::atomic<int> ran{0};
    std::thread starter = untilClosed(ran, [] { return KESTREL_startWatchdogTimer(kWatchdogHandle); });
    auto waiting = waitAsync();
    const bool started = awaitRequests(ran, 1);
    KESTREL_closeWatchdog(handle);
    const auto atClose = sim().requests();
    starter.join();
    ASSERT_TRUE(started);
    ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
    const tWaitResult wait = waiting.get();
    EXPECT_TRUE(wait.code == kestrelerr_invalidHandle || (wait.code == 0 && wait.value == 3)) << wait.code;

    ASSERT_GE(atClose.size(), 3u);
    const auto& stop = atClose[atClose.size() - 2];
    const auto& unregister = atClose.back();
    EXPECT_EQ(stop.code, nKESTREL1400::nDriverWire::kStopWatchdogTimer) << "round " << round;
    EXPECT_EQ(unregister.code, nKESTREL1400::nDriverWire::kUnregisterNotification) << "round " << round;
    EXPECT_EQ(unregister.argument, kNotificationId);
    EXPECT_EQ(recorder->closedAt, static_cast<long>(atClose.size())) << "the close came last";
    EXPECT_EQ(sim().requests().size(), atClose.size()) << "a request reached the driver after the last close";
    if (HasFailure()) break;
  }
}

// A close while an operation waits in the driver for nothing: the close
// ends the wait, and the session opened next hears none of the old one.
TEST_F(WatchdogTest, AWaitInFlightEndsWithTheCloseAndStaysWithItsSession) {
  open();
  auto waiting = waitAsync();
  KESTREL_closeWatchdog(kWatchdogHandle);
  ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
  const tWaitResult result = waiting.get();
  EXPECT_TRUE(result.code == kestrelerr_invalidHandle ||
              (result.code == 0 && result.value == 3))
      << result.code << " " << result.value;
  open();
  send({1});
  const tWaitResult next = waitNow();
  EXPECT_EQ(next.code, 0);
  EXPECT_EQ(next.value, 1);
  KESTREL_closeWatchdog(kWatchdogHandle);
}

}  // namespace
