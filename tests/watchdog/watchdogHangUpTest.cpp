// The driver going away: the notification socket hangs up under a waiting
// thread. The wait ends like the driver's end message (3), and so does
// every later wait, at once.
#include "watchdogFixture.h"

namespace {

constexpr std::int32_t kEnded = 3;

TEST_F(WatchdogTest, AHangUpEndsTheWaitAndEveryLaterWait) {
  open();
  auto pending = waitAsync();
  ASSERT_EQ(sim().hangUpNotifications(), 1u);
  ASSERT_EQ(pending.wait_for(kPatience), std::future_status::ready) << "the wait did not see the hang-up";
  const tWaitResult first = pending.get();
  EXPECT_EQ(first.code, 0);
  EXPECT_EQ(first.value, kEnded);

  EXPECT_EQ(sim().sendNotification(kNotificationId, std::vector<std::uint8_t>{9}), 0u);  // nobody listens
  const tWaitResult later = waitNow();
  EXPECT_EQ(later.code, 0);
  EXPECT_EQ(later.value, kEnded);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);  // the session itself still works
  KESTREL_closeWatchdog(kWatchdogHandle);
}

TEST_F(WatchdogTest, AHangUpBeforeTheWaitEndsItAtOnce) {
  open();
  ASSERT_EQ(sim().hangUpNotifications(), 1u);
  EXPECT_EQ(sim().hangUpNotifications(), 0u);  // hung up already
  EXPECT_EQ(waitNow().value, kEnded);
  KESTREL_closeWatchdog(kWatchdogHandle);
  // A new session gets a new socket, which listens again.
  open();
  send({4});
  EXPECT_EQ(waitNow().value, 4);
  KESTREL_closeWatchdog(kWatchdogHandle);
}

}  // namespace
