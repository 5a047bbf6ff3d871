// A notification queue that overflowed costs the notifications that did
// not fit, not the session: one wait reports the loss, the waits after it
// receive again.
#include "watchdogFixture.h"

namespace {

TEST_F(WatchdogTest, AnOverflowFailsOneWaitAndTheSessionGoesOn) {
  open();
  // Nobody waits: the driver's messages pile up until one is dropped.
  int queued = 0;
  while (sim().sendNotification(kNotificationId, std::vector<std::uint8_t>{1}) == 1 && queued < 1000000) ++queued;
  ASSERT_GT(queued, 0);
  ASSERT_LT(queued, 1000000);

  std::int32_t value = -1;
  EXPECT_EQ(KESTREL_waitForWatchdogNotification(kWatchdogHandle, &value), brioerr_noBuffers);
  EXPECT_EQ(value, -1);
  int received = 0;
  for (int i = 0; i < queued; ++i) {
    value = -1;
    if (KESTREL_waitForWatchdogNotification(kWatchdogHandle, &value) == 0 && value == 1) ++received;
  }
  EXPECT_EQ(received, queued);

  send({7});
  const tWaitResult after = waitNow();
  EXPECT_EQ(after.code, 0);
  EXPECT_EQ(after.value, 7);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
  KESTREL_closeWatchdog(kWatchdogHandle);
}

}  // namespace
