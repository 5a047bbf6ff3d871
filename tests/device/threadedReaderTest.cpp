// The reader thread: handler calls on the thread "kestrel", joining at
// destruction, no spinning on persistent failures.
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "platform/tIONotification.h"
#include "platform/tThreadedIONotificationReader.h"
#include "ioNotificationFixture.h"

using namespace nKESTREL1400;
using nKESTREL1400::nBRIO000::tIONotification;
using nKESTREL1400::nBRIO000::tIONotificationReader;
using nKESTREL1400::nBRIO000::tThreadedIONotificationReader;
using tKind = tIONotificationReader::tKind;

namespace {

struct tHandlerLog {
  std::atomic<int> calls{0};
  std::atomic<int> failures{0};
  std::atomic<tIONotification*> last{nullptr};
  std::atomic<int> firstByte{-1};
  char threadName[16] = {};
  int policy = -1;
  int priority = -1;
};
tHandlerLog* gHandlerLog = nullptr;

void recordingHandler(std::int32_t kind, tIONotification* notification, void* data, std::uint32_t size,
                      tStatus& status) {
  if (gHandlerLog->calls++ == 0) {
    prctl(PR_GET_NAME, gHandlerLog->threadName);
    sched_param parameters{};
    pthread_getschedparam(pthread_self(), &gHandlerLog->policy, &parameters);
    gHandlerLog->priority = parameters.sched_priority;
  }
  if (status.isError()) ++gHandlerLog->failures;
  if (kind == tIONotificationReader::kNotify && notification != nullptr && size > 0) {
    gHandlerLog->firstByte = static_cast<std::uint8_t*>(data)[0];
    gHandlerLog->last = notification;
  }
}

class ThreadedReader : public IONotifications {
 protected:
  void SetUp() override {
    IONotifications::SetUp();
    gHandlerLog = &log;
  }
  void TearDown() override {
    gHandlerLog = nullptr;
    IONotifications::TearDown();
  }
  template <class Condition>
  static bool eventually(Condition condition) {
    for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
  }
  tHandlerLog log;
};

TEST_F(ThreadedReader, HandsNotificationsToTheHandlerOnItsThread) {
  tStatus status;
  {
    tThreadedIONotificationReader reader(0, &recordingHandler, status);
    ASSERT_EQ(status.getCode(), 0);
    EXPECT_TRUE(reader.isRunning());
    tIONotification notification;
    notification.enable(reader, proxy, kWatchdogId, status);
    sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{42});
    EXPECT_TRUE(eventually([&] { return log.firstByte == 42; }));
    EXPECT_EQ(log.last.load(), &notification);
    EXPECT_STREQ(log.threadName, "kestrel");
    EXPECT_EQ(log.policy, SCHED_OTHER);
    EXPECT_EQ(log.priority, 0);
    notification.disable();
  }
  // The destructor woke and joined the thread: no handler call after it.
  const int calls = log.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(log.calls, calls);
}

TEST_F(ThreadedReader, PersistentFailuresDoNotSpin) {
  tStatus status;
  tThreadedIONotificationReader reader(0, &recordingHandler, status);
  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  sim().failCalls(nKESTRELSIM::tCall::kRecvmsg, 1000000, EIO);
  sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{1});
  EXPECT_TRUE(eventually([&] { return log.failures >= 2; })) << log.failures << " " << log.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Pauses double from 1 ms: a spinning loop would have called thousands of times.
  EXPECT_LT(log.failures, 20);
  reader.stop();
  EXPECT_FALSE(reader.isRunning());
}

}  // namespace
