// Threads pet, read attributes and wait while another thread opens and
// closes the session: every call either runs on a live session or finds
// none, and no wait is left hanging. Run under ThreadSanitizer in CI.
#include <atomic>
#include <thread>

#include "watchdogFixture.h"

namespace {

constexpr int kRounds = 200;

// A wait may also learn that notifications were lost: the cancel loop
// makes the driver send faster than two waiters take them.
bool isExpected(std::int32_t code) {
  return code == 0 || code == kestrelerr_invalidHandle || code == brioerr_noBuffers;
}

TEST_F(WatchdogTest, OperationsRaceWithOpenAndClose) {
  std::atomic<bool> done{false};
  std::atomic<int> unexpected{0};
  const auto check = [&](std::int32_t code) {
    if (!isExpected(code)) ++unexpected;
  };
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    while (!done) check(KESTREL_petWatchdog(kWatchdogHandle));
  });
  threads.emplace_back([&] {
    std::uint32_t value = 0;
    while (!done) {
      check(KESTREL_getAttributeU32(kWatchdogHandle, nKESTRELSIM::tWatchdogModel::kTimeoutAttribute, &value));
      check(KESTREL_startWatchdogTimer(kWatchdogHandle));
      check(KESTREL_cancelWaitForWatchdogNotification(kWatchdogHandle));
    }
  });
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([&] {
      std::int32_t value = 0;
      while (!done) {
        const std::int32_t code = KESTREL_waitForWatchdogNotification(kWatchdogHandle, &value);
        if (code == kestrelerr_invalidHandle) std::this_thread::yield();
        check(code);
      }
    });
  }
  for (int round = 0; round < kRounds; ++round) {
    tKestrelHandle handle = 0;
    ASSERT_EQ(KESTREL_openWatchdog(&handle), 0);
    std::this_thread::yield();
    KESTREL_closeWatchdog(handle);
  }
  done = true;
  // A waiter that fetched the last session before its close has its end
  // message; one that comes later finds no session.
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(unexpected, 0);
  EXPECT_TRUE(sim().registrations().empty());
}

}  // namespace
