// Session references: a session closed on one thread stays alive until the
// operations that hold it on other threads have returned.
#include "source/user/tSessionModule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace nKESTREL1400;

namespace {

std::atomic<int> gLiveSessions{0};

class tTestSession final : public tSharedSession {
 public:
  tTestSession() { ++gLiveSessions; }
  ~tTestSession() override {
    value = -1;
    --gLiveSessions;
  }
  int read() const { return value; }
  int value = 42;
};

constexpr kSourceLocation kNotOpen{"tTestSession", 1};

void publishNew(tSessionModule<tTestSession>& module) {
  std::lock_guard guard(module.lock());
  module.publish(new tTestSession);
}

void close(tSessionModule<tTestSession>& module) {
  std::lock_guard guard(module.lock());
  tTestSession* session = module.published();
  module.publish(nullptr);
  if (session != nullptr) session->release();
}

TEST(tSessionModule, NoSessionGivesInvalidHandle) {
  tSessionModule<tTestSession> module;
  ASSERT_TRUE(module.setupStatus().isNotError());
  tScopedStatusReport report;
  EXPECT_FALSE(module.current(report, kNotOpen));
  EXPECT_EQ(report.code(), -26931);
  EXPECT_STREQ(reportText(report), R"({"file":"tTestSession","line":1,"component":"kestrel"})");
}

TEST(tSessionModule, AReferenceOutlivesTheClose) {
  tSessionModule<tTestSession> module;
  publishNew(module);
  tScopedStatusReport report;
  auto reference = module.current(report, kNotOpen);
  ASSERT_TRUE(reference);
  close(module);
  EXPECT_EQ(gLiveSessions.load(), 1);
  EXPECT_EQ(reference->read(), 42);
  { auto released = std::move(reference); }
  EXPECT_EQ(gLiveSessions.load(), 0);
  EXPECT_FALSE(module.current(report, kNotOpen));
}

TEST(tSessionModule, ReportWithAnErrorGetsNoSession) {
  tSessionModule<tTestSession> module;
  publishNew(module);
  tScopedStatusReport report;
  setCode(report, -1);
  EXPECT_FALSE(module.current(report, kNotOpen));
  EXPECT_EQ(report.code(), -1);
  close(module);
}

TEST(tSessionModule, OperationsRaceWithOpenAndClose) {
  tSessionModule<tTestSession> module;
  std::atomic<bool> stop{false};
  std::atomic<long> served{0};
  std::atomic<int> running{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      ++running;
      while (!stop.load()) {
        tScopedStatusReport report;
        if (auto session = module.current(report, kNotOpen)) {
          EXPECT_EQ(session->read(), 42);
          ++served;
        } else {
          EXPECT_EQ(report.code(), -26931);
        }
      }
    });
  }
  // The rounds race with callers that run: on a busy machine the callers'
  // threads may start only after a fixed number of rounds has passed, and
  // then meet no session at all. The rounds go on until one was served.
  while (running.load() < 4) std::this_thread::yield();
  for (int round = 0; round < 2000 || served.load() == 0; ++round) {
    publishNew(module);
    std::this_thread::yield();
    close(module);
  }
  stop = true;
  for (auto& caller : callers) caller.join();
  EXPECT_EQ(gLiveSessions.load(), 0);
  EXPECT_GT(served.load(), 0);
}

// A close that waits for the operations in flight returns only after the
// last of them has ended.
TEST(tSessionModule, TheLastCloseWaitsForOperationsInFlight) {
  tSessionModule<tTestSession> module;
  publishNew(module);
  tScopedStatusReport report;
  auto reference = module.current(report, kNotOpen);
  ASSERT_TRUE(reference);
  std::atomic<bool> closed{false};
  std::thread closer([&] {
    std::lock_guard guard(module.lock());
    module.published()->waitForOperations();
    closed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(closed);
  { auto ended = std::move(reference); }
  closer.join();
  EXPECT_TRUE(closed);
  close(module);
}

// An open or close interrupted by a signal whose handler opens or closes
// again on the same thread: the inner one does not get the lock.
TEST(tSessionModule, AnOpenOrCloseReenteredOnItsThreadIsRefused) {
  using tExclusive = tSessionModule<tTestSession>::tExclusive;
  tSessionModule<tTestSession> module;
  std::atomic<bool> otherRefused{true};
  std::thread other;
  {
    tExclusive outer(module);
    EXPECT_FALSE(outer.reentered());
    {
      tExclusive inner(module);
      EXPECT_TRUE(inner.reentered());
    }
    // Another thread is not refused: it waits for the lock.
    other = std::thread([&] {
      tExclusive exclusive(module);
      otherRefused = exclusive.reentered();
    });
  }
  other.join();
  EXPECT_FALSE(otherRefused);
  tExclusive again(module);
  EXPECT_FALSE(again.reentered());
}

}  // namespace
