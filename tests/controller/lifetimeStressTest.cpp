// Eight threads mix every controller and watchdog call, opens and closes
// included, for a bounded time: every call either runs on a live session or
// finds none, no wait is left hanging, and once every thread has closed
// what it opened, no session, registration or running timer remains. Runs
// under ThreadSanitizer in CI; the time bound keeps it short there too.
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "sim/models/tWatchdogModel.h"
#include "simulatedBoard.h"

namespace {

using nKESTRELSIM::tWatchdogModel;
using tClock = std::chrono::steady_clock;

constexpr int kThreads = 8;
constexpr auto kDuration = std::chrono::milliseconds(1500);
constexpr int kMostRoundsPerThread = 4000;

class LifetimeStress : public SimulatedBoard {
 protected:
  LifetimeStress() { start(defaultProfile()); }

  // Records a code the call may not give; `allowed` lists the ones it may
  // besides 0 and -26931 (no session).
  void check(const char* call, std::int32_t code, std::initializer_list<std::int32_t> allowed = {}) {
    if (code == 0 || code == kestrelerr_invalidHandle) return;
    for (std::int32_t expected : allowed) {
      if (code == expected) return;
    }
    std::lock_guard guard(lock_);
    unexpected_.insert(std::string(call) + " " + std::to_string(code));
  }

  // An open may give no error at all, not even "no session".
  void checkOpen(const char* call, std::int32_t code) {
    if (code == 0) return;
    std::lock_guard guard(lock_);
    unexpected_.insert(std::string(call) + " " + std::to_string(code));
  }

  // The calls of a round while the thread holds both sessions open.
  void withBothOpen(int thread, int round) {
    if ((thread + round) % 2 == 0) {
      controllerCalls();
    } else {
      watchdogRequests();
    }
  }

  // The calls after the thread closed its watchdog: a wait here holds no
  // reference of its own, so the close of another thread always ends it.
  void afterWatchdogClose(int thread, int round) {
    if ((thread + round) % 3 == 0) waitOnce();
  }

  void controllerCalls() {
    std::uint32_t u32 = 0;
    std::int32_t i32 = 0;
    double dbl = 0;
    char text[64];
    std::uint64_t length = sizeof text;
    check("getU32", KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE, &u32));
    check("getI32", KESTREL_getAttributeI32(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE, &i32),
          {kestrelerr_attributeNotSupported});
    check("getDBL", KESTREL_getAttributeDBL(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE, &dbl),
          {kestrelerr_attributeNotSupported});
    check("getUTF8", KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, text, &length));
    check("setUTF8", KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, "stress"),
          {kestrelerr_deviceNotAvailable, kestrelerr_attributeNotSupported});
    check("selfTest", KESTREL_performSelfTest(kControllerHandle));
  }

  void watchdogRequests() {
    std::uint32_t value = 0;
    check("setU32", KESTREL_setAttributeU32(kWatchdogHandle, tWatchdogModel::kTimeoutAttribute, 60000));
    check("start", KESTREL_startWatchdogTimer(kWatchdogHandle));
    check("pet", KESTREL_petWatchdog(kWatchdogHandle));
    check("getU32", KESTREL_getAttributeU32(kWatchdogHandle, tWatchdogModel::kStateAttribute, &value));
    check("cancel", KESTREL_cancelWaitForWatchdogNotification(kWatchdogHandle));
    check("stop", KESTREL_stopWatchdogTimer(kWatchdogHandle));
  }

  // Ends through a cancel of another thread, the driver's end message of a
  // close, or at once when the notifications have ended.
  void waitOnce() {
    std::int32_t value = 0;
    check("wait", KESTREL_waitForWatchdogNotification(kWatchdogHandle, &value), {brioerr_noBuffers});
  }

  void runThread(int thread, tClock::time_point deadline) {
    for (int round = 0; round < kMostRoundsPerThread && tClock::now() < deadline; ++round) {
      tKestrelHandle controller = 0;
      tKestrelHandle watchdog = 0;
      // A warning (a positive code) still opens the session, which must then be closed.
      const std::int32_t controllerCode = KESTREL_openController(&controller);
      const std::int32_t watchdogCode = KESTREL_openWatchdog(&watchdog);
      const bool controllerOpen = controllerCode >= 0;
      const bool watchdogOpen = watchdogCode >= 0;
      checkOpen("openController", controllerCode);
      checkOpen("openWatchdog", watchdogCode);
      withBothOpen(thread, round);
      if (watchdogOpen) KESTREL_closeWatchdog(watchdog);
      afterWatchdogClose(thread, round);
      if (controllerOpen) KESTREL_closeController(controller);
    }
  }

  std::mutex lock_;
  std::set<std::string> unexpected_;
};

TEST_F(LifetimeStress, EightThreadsMixEveryCall) {
  const auto deadline = tClock::now() + kDuration;
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([this, thread, deadline] { runThread(thread, deadline); });
  }
  for (auto& thread : threads) thread.join();

  EXPECT_TRUE(unexpected_.empty()) << ::testing::PrintToString(unexpected_);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);
  EXPECT_TRUE(sim().registrations().empty());
  EXPECT_EQ(sim().watchdog().state(), tWatchdogModel::tState::kStopped);
}

// The controller's last close against reads that reach the driver on other
// threads: once the close has returned, the driver sees none of them.
TEST_F(LifetimeStress, NoControllerRequestFollowsTheLastClose) {
  constexpr int kRounds = 40;
  int lateRounds = 0;
  for (int round = 0; round < kRounds; ++round) {
    sim().clearRequests();
    tKestrelHandle handle = 0;
    ASSERT_EQ(KESTREL_openController(&handle), 0);
    std::atomic<int> ran{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
      readers.emplace_back([&ran] {
        std::uint32_t value = 0;
        while (KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_DEVICE_VALUE_1, &value) !=
               kestrelerr_invalidHandle) {
          ++ran;
        }
      });
    }
    while (ran < 3) std::this_thread::yield();
    KESTREL_closeController(handle);
    const std::size_t seenAtClose = sim().requests().size();
    for (auto& reader : readers) reader.join();
    if (sim().requests().size() != seenAtClose) ++lateRounds;
  }
  EXPECT_EQ(lateRounds, 0) << "rounds in which a request reached the driver after the last close";
}

}  // namespace
