// A simulated controller with one watchdog interface, driven through the
// public interface as an application would.
#pragma once

#include <gtest/gtest.h>
#include <kestrel/kestrel.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tWatchdogModel.h"
#include "simulatedController.h"

// The outcome of one KESTREL_waitForWatchdogNotification.
struct tWaitResult {
  std::int32_t code = 0;
  std::int32_t value = -1;
};

class WatchdogTest : public SimulatedController {
 protected:
  static constexpr std::uint32_t kNotificationId = 0x70;
  static constexpr auto kPatience = std::chrono::seconds(5);

  WatchdogTest() { sim().addInterface(nKESTREL1400::kWatchdogInterface); }
  // A failed test may leave the process-wide session open.
  ~WatchdogTest() override {
    std::uint32_t ignored = 0;
    for (int i = 0; i < 16 && KESTREL_getAttributeU32(kWatchdogHandle, 0, &ignored) != kestrelerr_invalidHandle;
         ++i) {
      KESTREL_closeWatchdog(kWatchdogHandle);
    }
  }

  static tKestrelHandle open() {
    tKestrelHandle handle = 0;
    EXPECT_EQ(KESTREL_openWatchdog(&handle), 0);
    EXPECT_EQ(handle, kWatchdogHandle);
    return handle;
  }

  static std::future<tWaitResult> waitAsync() {
    return std::async(std::launch::async, [] {
      tWaitResult result;
      result.code = KESTREL_waitForWatchdogNotification(kWatchdogHandle, &result.value);
      return result;
    });
  }

  // A wait that must finish without the driver sending anything more.
  static tWaitResult waitNow() {
    auto pending = waitAsync();
    if (pending.wait_for(kPatience) != std::future_status::ready) {
      ADD_FAILURE() << "the wait blocked";
      sim().sendEnd(kNotificationId);  // let it go
    }
    return pending.get();
  }

  static void send(std::vector<std::uint8_t> payload) {
    ASSERT_EQ(sim().sendNotification(kNotificationId, payload), 1u);
  }

  static nKESTRELSIM::tWatchdogModel& model() { return sim().watchdog(); }
};
