// The watchdog session through the public interface: lifetime, interface
// lookup, the notification wait and its sticky failures, waiters and close.
#include <dirent.h>

#include <cerrno>
#include <thread>

#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "watchdogFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

// Every operation that needs an open session, with the watchdog handle.
std::vector<std::int32_t> everyOperation() {
  std::uint32_t value = 77;
  std::int32_t notification = 77;
  std::vector<std::int32_t> codes{
      KESTREL_startWatchdogTimer(kWatchdogHandle),
      KESTREL_stopWatchdogTimer(kWatchdogHandle),
      KESTREL_petWatchdog(kWatchdogHandle),
      KESTREL_cancelWaitForWatchdogNotification(kWatchdogHandle),
      KESTREL_getAttributeU32(kWatchdogHandle, KESTREL_WATCHDOG_ATTR_TIMEOUT, &value),
      KESTREL_setAttributeU32(kWatchdogHandle, KESTREL_WATCHDOG_ATTR_TIMEOUT, 10),
      KESTREL_waitForWatchdogNotification(kWatchdogHandle, &notification),
  };
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(notification, 77);
  return codes;
}

std::size_t openDescriptors() {
  std::size_t count = 0;
  if (DIR* directory = opendir("/proc/self/fd")) {
    while (readdir(directory) != nullptr) ++count;
    closedir(directory);
  }
  return count;
}

TEST_F(WatchdogTest, WithoutASessionNothingReachesTheDriver) {
  const std::vector<std::int32_t> notOpen(7, kestrelerr_invalidHandle);
  KESTREL_closeWatchdog(kWatchdogHandle);  // close without a session: nothing happens
  EXPECT_EQ(everyOperation(), notOpen);

  open();
  KESTREL_closeWatchdog(kWatchdogHandle);
  sim().clearRequests();
  KESTREL_closeWatchdog(kWatchdogHandle);  // a second close
  EXPECT_EQ(everyOperation(), notOpen);
  EXPECT_TRUE(sim().requests().empty());
}

TEST_F(WatchdogTest, OpenRegistersAndTheLastCloseStopsTheTimer) {
  open();
  ASSERT_EQ(sim().registrations().size(), 1u);
  EXPECT_EQ(sim().registrations()[0].notificationId, kNotificationId);

  // A second open shares the session; only the last close ends it.
  open();
  EXPECT_EQ(sim().registrations().size(), 1u);
  KESTREL_closeWatchdog(kWatchdogHandle);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
  EXPECT_TRUE(sim().requests(kStopWatchdogTimer).empty());
  KESTREL_closeWatchdog(kWatchdogHandle);
  EXPECT_EQ(sim().requests(kStopWatchdogTimer).size(), 1u);
  EXPECT_TRUE(sim().registrations().empty());
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);

  // A new session listens again.
  open();
  send({9});
  EXPECT_EQ(waitNow().value, 9);
}

TEST_F(WatchdogTest, OpenNeedsExactlyOneInterface) {
  SimulatedController::sim().stop();
  sim().start();
  tKestrelHandle handle = 0;
  EXPECT_EQ(KESTREL_openWatchdog(&handle), kestrelerr_deviceNotAvailable);
  EXPECT_EQ(handle, 0u);

  sim().addInterface(nKESTREL1400::kWatchdogInterface, "0");
  sim().addInterface(nKESTREL1400::kWatchdogInterface, "1");
  const std::size_t descriptors = openDescriptors();
  EXPECT_EQ(KESTREL_openWatchdog(&handle), brioerr_resourceFailure);
  EXPECT_EQ(handle, 0u);
  // The interface that was opened is closed again, with the reader.
  EXPECT_EQ(openDescriptors(), descriptors);
  EXPECT_TRUE(sim().registrations().empty());
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);
}

TEST_F(WatchdogTest, AFailedOpenSendsNoStopRequest) {
  sim().failRequests(kRegisterNotification, 1, {.error = EPERM});
  tKestrelHandle handle = 0;
  EXPECT_EQ(KESTREL_openWatchdog(&handle), brioerr_systemError);
  EXPECT_TRUE(sim().requests(kStopWatchdogTimer).empty());
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);
}

TEST_F(WatchdogTest, ADataByteIsTheNotification) {
  open();
  for (std::uint8_t byte : {0, 1, 127, 200, 255}) {
    send({byte});
    const tWaitResult result = waitNow();
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.value, byte);
  }
}

TEST_F(WatchdogTest, TheEndMessageEndsEveryLaterWait) {
  open();
  auto waiting = waitAsync();
  sim().sendEnd(kNotificationId);
  ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(waiting.get().value, 3);
  send({1});  // too late: the stream has ended
  for (int i = 0; i < 2; ++i) {
    const tWaitResult later = waitNow();
    EXPECT_EQ(later.code, 0);
    EXPECT_EQ(later.value, 3);
  }
}

TEST_F(WatchdogTest, AnOversizedPayloadFailsEveryLaterWait) {
  open();
  send({1, 2});
  send({4});
  for (int i = 0; i < 2; ++i) {
    const tWaitResult failed = waitNow();
    EXPECT_EQ(failed.code, kestrelerr_ioError);
    EXPECT_EQ(failed.value, -1);
  }
  // The timer operations still work.
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
}

TEST_F(WatchdogTest, AnEmptyPayloadFailsOnlyItsWait) {
  open();
  send({});
  send({6});
  const tWaitResult empty = waitNow();
  EXPECT_EQ(empty.code, kestrelerr_ioError);
  EXPECT_EQ(empty.value, -1);
  EXPECT_EQ(waitNow().value, 6);
}

TEST_F(WatchdogTest, WaitersAreServedOneAtATime) {
  open();
  auto first = waitAsync();
  auto second = waitAsync();
  send({7});
  const auto ready = [](std::future<tWaitResult>& wait) {
    return wait.wait_for(std::chrono::milliseconds(1)) == std::future_status::ready;
  };
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  while (!ready(first) && !ready(second) && std::chrono::steady_clock::now() < giveUp) {
  }
  // One of them has the notification; the other waits for the next.
  ASSERT_NE(ready(first), ready(second));
  auto& done = ready(first) ? first : second;
  auto& pending = ready(first) ? second : first;
  EXPECT_EQ(done.get().value, 7);
  EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  send({8});
  ASSERT_EQ(pending.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(pending.get().value, 8);
}

TEST_F(WatchdogTest, CloseEndsAWaitInProgress) {
  open();
  auto waiting = waitAsync();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // usually blocked by now; either way it ends
  KESTREL_closeWatchdog(kWatchdogHandle);
  ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
  const tWaitResult result = waiting.get();
  EXPECT_TRUE(result.code == kestrelerr_invalidHandle || (result.code == 0 && result.value == 3))
      << result.code << " " << result.value;
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);
}

TEST_F(WatchdogTest, CancelEndsAWaitInProgress) {
  open();
  auto waiting = waitAsync();
  EXPECT_EQ(KESTREL_cancelWaitForWatchdogNotification(kWatchdogHandle), 0);
  ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(waiting.get().value, nKESTRELSIM::tWatchdogModel::kCancelledEvent);
}

TEST_F(WatchdogTest, DriverRefusalsPassThrough) {
  open();
  sim().failRequests(kPetWatchdog, 1, {.status = brioerr_busy});
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), brioerr_busy);
  sim().failRequests(kStartWatchdogTimer, 1, {.error = EIO});
  EXPECT_LT(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);  // the session stays usable
}

}  // namespace
