// The process-wide watchdog session behind kWatchdogHandle: the watchdog
// device interface and the channel on which the driver delivers watchdog
// notifications. The driver holds all timer state.
//
// Opening while a session is open adds a reference to it, as for the
// controller; the last close stops the timer and ends the session. A close
// on one thread while another is inside an operation or a wait is safe: the
// close wakes the session's waiters itself (a waiter returns 3), lets the
// requests in flight reach the driver and only then stops the timer, ends
// the notification registration and closes the device, in that order, so
// no request of the session follows them.
#pragma once

#include <pthread.h>

#include <cstdint>

#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "kestrel/quill_ra_kestrel.h"
#include "platform/tIONotification.h"
#include "platform/tIONotificationReader.h"
#include "source/user/tRecursiveLock.h"
#include "source/user/tSessionModule.h"

namespace nKESTREL1400 {

class tWatchdogUserSession final : public tSharedSession {
 public:
  using tReference = tSessionReference<tWatchdogUserSession>;

  static constexpr std::uint32_t kNotificationId = 0x70;
  // The value a wait reports once the driver has ended the notifications.
  static constexpr std::int32_t kNotificationsEnded = 3;

  static tWatchdogUserSession* openSession(tStatusReport& report) noexcept;
  static void closeSession() noexcept;
  static tReference currentSession(tStatusReport& report) noexcept;

  void startTimer(tStatusReport& report) noexcept;
  void stopTimer(tStatusReport& report) noexcept;
  void pet(tStatusReport& report) noexcept;
  void cancelWaitForNotification(tStatusReport& report) noexcept;
  void waitForNotification(std::int32_t& value, tStatusReport& report) noexcept;
  void getAttributeU32(std::uint32_t attribute, std::uint32_t& value, tStatusReport& report) noexcept;
  void setAttributeU32(std::uint32_t attribute, std::uint32_t value, tStatusReport& report) noexcept;

 private:
  friend class tSessionModule<tWatchdogUserSession>;

  tWatchdogUserSession() noexcept;
  ~tWatchdogUserSession() override;

  void construct(tStatusReport& report) noexcept;
  // Wakes the waiters, waits for the operations in flight, then stops the
  // timer, ends the registration and closes the device.
  void shutDown() noexcept;
  template <typename Request>
  void request(tStatusReport& report, Request send) noexcept;

  tStatus sessionStatus_;
  nBRIO000::tIONotificationReader reader_;
  nBRIO000::tIONotification notification_;
  tRecursiveLock sessionLock_;
  bool notificationsEnded_ = false;
  tInterfaceProxy_hostControllerWatchdog proxy_;
};

}  // namespace nKESTREL1400
