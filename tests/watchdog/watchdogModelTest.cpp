// The simulated watchdog behaves like a real one, on the test's clock:
// start arms the countdown, a pet reloads it, stop disarms it, an expiry
// tells what it did; ending the registration ends the waits.
#include <chrono>

#include "watchdogFixture.h"

namespace {

using namespace std::chrono_literals;
using nKESTRELSIM::tWatchdogModel;

class WatchdogModelTest : public WatchdogTest {
 protected:
  WatchdogModelTest() {
    sim().useManualClock();
    open();
  }

  static std::uint32_t get(std::uint32_t id) {
    std::uint32_t value = 0;
    EXPECT_EQ(KESTREL_getAttributeU32(kWatchdogHandle, id, &value), 0);
    return value;
  }
};

TEST_F(WatchdogModelTest, PetsKeepARunningTimerAlive) {
  ASSERT_EQ(KESTREL_setAttributeU32(kWatchdogHandle, tWatchdogModel::kTimeoutAttribute, 100), 0);
  ASSERT_EQ(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
  for (int i = 0; i < 5; ++i) {
    sim().advanceClock(99ms);
    ASSERT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
  }
  EXPECT_EQ(model().state(), tWatchdogModel::tState::kRunning);
  EXPECT_EQ(get(tWatchdogModel::kRemainingAttribute), 100u);
  sim().advanceClock(60ms);
  EXPECT_EQ(get(tWatchdogModel::kRemainingAttribute), 40u);

  sim().advanceClock(40ms);
  EXPECT_EQ(model().state(), tWatchdogModel::tState::kExpired);
  EXPECT_EQ(get(tWatchdogModel::kStateAttribute), 2u);
  EXPECT_EQ(waitNow().value, tWatchdogModel::kExpiredEvent);
  // An expired timer is started again, not petted.
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), brioerr_busy);
  EXPECT_EQ(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
  EXPECT_EQ(get(tWatchdogModel::kStateAttribute), 1u);
}

TEST_F(WatchdogModelTest, StopDisarms) {
  ASSERT_EQ(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
  ASSERT_EQ(KESTREL_stopWatchdogTimer(kWatchdogHandle), 0);
  sim().advanceClock(1h);
  EXPECT_EQ(model().state(), tWatchdogModel::tState::kStopped);
  EXPECT_EQ(model().expiryCount(), 0u);
  // A pet of a stopped timer is accepted and does not arm it.
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
  EXPECT_EQ(get(tWatchdogModel::kStateAttribute), 0u);
}

TEST_F(WatchdogModelTest, TheExpiryByteNamesTheAction) {
  EXPECT_EQ(get(tWatchdogModel::kTimeoutAttribute), tWatchdogModel::kDefaultTimeoutMs);
  const std::pair<std::uint32_t, int> actions[] = {{0, tWatchdogModel::kExpiredEvent},
                                                   {1, tWatchdogModel::kExpiredResetEvent},
                                                   {2, tWatchdogModel::kExpiredTriggerEvent}};
  for (const auto& [action, event] : actions) {
    ASSERT_EQ(KESTREL_setAttributeU32(kWatchdogHandle, tWatchdogModel::kExpiryActionAttribute, action), 0);
    ASSERT_EQ(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
    sim().advanceClock(std::chrono::milliseconds(tWatchdogModel::kDefaultTimeoutMs));
    EXPECT_EQ(waitNow().value, event) << "action " << action;
  }
}

TEST_F(WatchdogModelTest, RefusesValuesOutOfRange) {
  const auto set = [](std::uint32_t id, std::uint32_t value) { return KESTREL_setAttributeU32(kWatchdogHandle, id, value); };
  EXPECT_EQ(set(tWatchdogModel::kTimeoutAttribute, 0), kestrelerr_attributeNotSupported);
  EXPECT_EQ(set(tWatchdogModel::kExpiryActionAttribute, 3), kestrelerr_attributeNotSupported);
  EXPECT_EQ(set(tWatchdogModel::kStateAttribute, 1), kestrelerr_attributeNotSupported);
  EXPECT_EQ(set(tWatchdogModel::kRemainingAttribute, 1), kestrelerr_attributeNotSupported);
  EXPECT_EQ(get(tWatchdogModel::kTimeoutAttribute), tWatchdogModel::kDefaultTimeoutMs);
  EXPECT_EQ(set(tWatchdogModel::kTimeoutAttribute, 1), 0);
}

TEST_F(WatchdogModelTest, EndingTheRegistrationEndsTheWait) {
  auto waiting = waitAsync();
  sim().advanceClock(1h);  // nothing runs, nothing expires
  EXPECT_EQ(waiting.wait_for(20ms), std::future_status::timeout);
  KESTREL_closeWatchdog(kWatchdogHandle);
  ASSERT_EQ(waiting.wait_for(kPatience), std::future_status::ready);
  const tWaitResult result = waiting.get();
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.value, 3);
}

}  // namespace
