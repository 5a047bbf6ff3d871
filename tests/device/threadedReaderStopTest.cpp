// Ending the reader thread: from its own handler, against a socket that
// never falls silent, after the notification queue overflowed, and in a
// forked child.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "kestrel/kestrel.h"
#include "platform/tIONotification.h"
#include "platform/tThreadedIONotificationReader.h"
#include "ioNotificationFixture.h"

using namespace nKESTREL1400;
using nKESTREL1400::nBRIO000::tIONotification;
using nKESTREL1400::nBRIO000::tIONotificationReader;
using nKESTREL1400::nBRIO000::tThreadedIONotificationReader;

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

// What the handlers below see and do; one test at a time.
struct tHandlerState {
  tThreadedIONotificationReader* reader = nullptr;
  bool destroyReader = false;
  std::atomic<int> calls{0};
  std::atomic<int> lost{0};
  std::atomic<int> lastByte{-1};
  std::promise<void> stopped;
  std::shared_future<void> firstCallMayReturn;  // holds the first counted call until set
};
tHandlerState* gState = nullptr;

// Stops the reader from its own thread on the first message, and destroys
// it too when asked: the loop must not touch it afterwards.
void stoppingHandler(std::int32_t, tIONotification*, void*, std::uint32_t, tStatus&) {
  if (gState->calls++ != 0) return;
  gState->reader->stop();
  if (gState->destroyReader) delete gState->reader;
  gState->stopped.set_value();
}

void countingHandler(std::int32_t kind, tIONotification* notification, void* data, std::uint32_t size,
                     tStatus& status) {
  if (gState->calls++ == 0 && gState->firstCallMayReturn.valid()) gState->firstCallMayReturn.wait();
  if (status.getCode() == brioerr_noBuffers) ++gState->lost;
  if (status.isNotError() && kind == tIONotificationReader::kNotify && notification != nullptr && size == 1) {
    gState->lastByte = static_cast<std::uint8_t*>(data)[0];
  }
}

class ThreadedReaderStop : public IONotifications {
 protected:
  void SetUp() override {
    IONotifications::SetUp();
    gState = &state;
  }
  void TearDown() override {
    gState = nullptr;
    IONotifications::TearDown();
  }
  template <class Condition>
  static bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
  }
  // Calls stop() on another thread; false when it did not return in time
  // (the stop is then left hanging and the test fails).
  static bool stopsInTime(tThreadedIONotificationReader& reader) {
    auto stopping = std::async(std::launch::async, [&reader] { reader.stop(); });
    const bool done = stopping.wait_for(kPatience) == std::future_status::ready;
    if (!done) new auto(std::move(stopping));  // do not block in the future's destructor
    return done;
  }
  tHandlerState state;
};

TEST_F(ThreadedReaderStop, AHandlerMayStopAndDestroyItsOwnReader) {
  for (const bool destroy : {false, true}) {
    tHandlerState fresh;
    gState = &fresh;
    fresh.destroyReader = destroy;
    tStatus status;
    auto* reader = new tThreadedIONotificationReader(0, &stoppingHandler, status);
    ASSERT_EQ(status.getCode(), 0);
    fresh.reader = reader;
    tIONotification notification;
    notification.enable(*reader, proxy, kWatchdogId, status);
    ASSERT_EQ(sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{1}), 1u);
    ASSERT_EQ(fresh.stopped.get_future().wait_for(kPatience), std::future_status::ready);
    if (!destroy) {
      EXPECT_FALSE(reader->isRunning());
      sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{2});
      notification.disable();
      delete reader;  // the thread is detached: nothing to join
    }
    // The detached thread ended without another handler call.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(fresh.calls, 1);
    gState = &state;
  }
}

// Messages for nobody keep the socket readable all the time; the stop's
// wake-up still ends the thread.
TEST_F(ThreadedReaderStop, AStopEndsTheThreadWhileDiscardedMessagesPourIn) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &countingHandler, status);
  ASSERT_EQ(status.getCode(), 0);
  const auto stray = message(tIONotification{}, 1, {1});  // a cookie registered with no reader
  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    while (flooding) sim().sendRaw(reader.portId(), stray);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(stopsInTime(reader));
  flooding = false;
  flood.join();
  EXPECT_FALSE(reader.isRunning());
}

// The same with messages the handler receives: the stop ends the thread
// after the handler call in progress.
TEST_F(ThreadedReaderStop, AStopEndsTheThreadWhileNotificationsPourIn) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &countingHandler, status);
  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  ASSERT_EQ(status.getCode(), 0);
  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    while (flooding) sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{1});
  });
  ASSERT_TRUE(eventually([&] { return state.calls > 0; }));
  EXPECT_TRUE(stopsInTime(reader));
  flooding = false;
  flood.join();
  const int calls = state.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(state.calls, calls);
  notification.disable();
}

// A queue overflow costs the messages that did not fit: the handler hears
// of the loss once, and the thread goes on receiving.
TEST_F(ThreadedReaderStop, AnOverflowIsReportedOnceAndReceivingGoesOn) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &countingHandler, status);
  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  ASSERT_EQ(status.getCode(), 0);
  // The handler holds on to the first message while the queue fills up
  // until the driver has to drop one.
  std::promise<void> release;
  state.firstCallMayReturn = release.get_future().share();
  int sent = 1;
  ASSERT_EQ(sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{1}), 1u);
  ASSERT_TRUE(eventually([&] { return state.calls == 1; }));
  while (sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{1}) == 1 && sent < 1000000) ++sent;
  release.set_value();
  ASSERT_TRUE(eventually([&] { return state.lost > 0; }));
  ASSERT_TRUE(eventually([&] { return state.calls >= sent + 1; })) << state.calls << " of " << sent + 1;
  EXPECT_EQ(state.lost, 1);
  ASSERT_EQ(sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{9}), 1u);
  EXPECT_TRUE(eventually([&] { return state.lastByte == 9; }));
  EXPECT_EQ(state.lost, 1);
  notification.disable();
}

// The thread belongs to the process that started it: a forked child that
// stops its copy of the reader leaves the parent's thread running.
TEST_F(ThreadedReaderStop, AForkedChildDoesNotStopTheParentsThread) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &countingHandler, status);
  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  ASSERT_EQ(status.getCode(), 0);
  const pid_t child = fork();
  if (child == 0) {
    reader.stop();
    _exit(reader.isRunning() ? 1 : 0);
  }
  ASSERT_GT(child, 0);
  int childStatus = 0;
  // A child that tries to join the parent's thread never ends: bounded.
  bool ended = false;
  eventually([&] { return ended = ended || waitpid(child, &childStatus, WNOHANG) == child; });
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &childStatus, 0);
  }
  ASSERT_TRUE(ended) << "the child hangs";
  EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0);
  EXPECT_TRUE(reader.isRunning());
  ASSERT_EQ(sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{5}), 1u);
  EXPECT_TRUE(eventually([&] { return state.lastByte == 5; }));
  notification.disable();
}

}  // namespace

namespace {

// The driver goes away: every wait wakes at once with nothing to report. The
// thread pauses between such waits instead of spinning, and a stop still
// ends it.
TEST_F(ThreadedReaderStop, AHungUpChannelIsNotServedInATightLoop) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &countingHandler, status);
  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  ASSERT_EQ(status.getCode(), 0);
  ASSERT_EQ(sim().hangUpNotifications(), 1u);
  ASSERT_TRUE(eventually([&] { return state.calls > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // Spinning would have called the handler many thousands of times by now.
  EXPECT_LT(state.calls, 100);
  EXPECT_TRUE(stopsInTime(reader));
  notification.disable();
}

}  // namespace
