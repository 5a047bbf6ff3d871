// The watchdog timer ("hostController_hostControllerWatchdog"): stopped,
// running or expired. Start arms the countdown with the timeout attribute,
// a pet reloads it, stop disarms it. When the countdown runs out the timer
// expires and the expiry action's event byte goes to the registrations of
// id 0x70. Time is the simulated clock's (tSimulatedClock).
#pragma once

#include <cstdint>
#include <optional>

#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "sim/models/tHostControllerFamilyModel.h"
#include "sim/models/tSimulatedClock.h"

namespace nKESTRELSIM {

class tWatchdogModel : public tHostControllerFamilyModel {
 public:
  enum class tState : std::uint32_t { kStopped = 0, kRunning = 1, kExpired = 2 };
  enum class tExpiryAction : std::uint32_t { kNotify = 0, kReset = 1, kTrigger = 2 };

  // U32 attributes of the simulated watchdog.
  static constexpr std::uint32_t kTimeoutAttribute = KESTREL_WATCHDOG_ATTR_TIMEOUT;  // milliseconds, at least 1
  static constexpr std::uint32_t kExpiryActionAttribute = KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION;  // a tExpiryAction
  static constexpr std::uint32_t kStateAttribute = KESTREL_WATCHDOG_ATTR_STATE;                 // a tState, read-only
  static constexpr std::uint32_t kRemainingAttribute = KESTREL_WATCHDOG_ATTR_REMAINING;  // milliseconds left, read-only
  static constexpr std::uint32_t kDefaultTimeoutMs = 5000;

  // Notification bytes. 3 is never sent: a wait reports 3 once the
  // notifications have ended, and the two must not be confused.
  static constexpr std::uint8_t kExpiredEvent = 1;         // expired, action kNotify
  static constexpr std::uint8_t kCancelledEvent = 2;       // a wait was cancelled
  static constexpr std::uint8_t kExpiredResetEvent = 4;    // expired, the controller was reset
  static constexpr std::uint8_t kExpiredTriggerEvent = 5;  // expired, the watchdog trigger line fired

  tWatchdogModel();

  std::string interfaceName() const override { return nKESTREL1400::kWatchdogInterface; }
  void handle(tDriverRequest& request, iDriverEvents& events) override;

  // What the timer does when the device file that started it is closed
  // (its process ended, too): keep counting down (the default: a monitor
  // that dies lets the watchdog expire), or stop.
  void stopWhenStarterCloses(bool stop) noexcept { stopOnRelease_ = stop; }
  void released(std::uint64_t opener, iDriverEvents& events) override;

  tState state() const noexcept { return state_; }
  std::uint32_t petCount() const noexcept { return pets_; }
  std::uint32_t expiryCount() const noexcept { return expiries_; }
  // When a running timer expires; nothing unless running.
  std::optional<tSimulatedClock::tTimePoint> deadline() const noexcept override;
  // Lets a running timer expire now, whatever its deadline.
  void expire(iDriverEvents& events);
  // Expires a running timer whose deadline has passed; true when it did.
  bool expireIfDue(iDriverEvents& events);
  void actIfDue(iDriverEvents& events) override { expireIfDue(events); }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  void arm();
  std::uint32_t timeoutMs() const;
  // A write the device refuses: a value out of range, or not 4 bytes.
  bool refusesWrite(tDriverRequest& request) const;
  // The read-only attributes as they are now.
  void publishState();
  void answer(tDriverRequest& request, std::int32_t status);

  tState state_ = tState::kStopped;
  tSimulatedClock::tTimePoint deadline_{};
  std::uint32_t pets_ = 0;
  std::uint32_t expiries_ = 0;
  std::uint64_t starter_ = 0;
  bool stopOnRelease_ = false;
};

}  // namespace nKESTRELSIM
