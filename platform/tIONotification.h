// One registration with the kernel driver that names a reader's socket as
// the destination of one kind of event.
#pragma once

#include <cstdint>

#include "platform/tDeviceInterfaceProxy.h"
#include "platform/tIONotificationReader.h"

namespace nKESTREL1400::nBRIO000 {

class tIONotification {
 public:
  tIONotification() noexcept = default;
  // Ends a registration still in force.
  virtual ~tIONotification();
  tIONotification(const tIONotification&) = delete;
  tIONotification& operator=(const tIONotification&) = delete;

  // Registers this notification (its address is the cookie) for the
  // reader's port. A refusal raises -52008.
  virtual void enable(tIONotificationReader& reader, tDeviceInterfaceProxy& proxy, std::uint32_t notificationId,
                      tStatus& status) noexcept;
  // Ends the registration: the driver is told only while the proxy is open.
  // The reader still hands out this notification with the driver's end
  // message, until this notification is destroyed.
  virtual void disable() noexcept;

  bool isRegistered() const noexcept { return registered_; }
  // The reader goes away before this notification.
  void forgetReader() noexcept { reader_ = nullptr; }
  std::uint32_t notificationId() const noexcept { return notificationId_; }

 private:
  tDeviceInterfaceProxy* proxy_ = nullptr;
  std::uint32_t notificationId_ = 0;
  bool registered_ = false;
  tIONotificationReader* reader_ = nullptr;
};

}  // namespace nKESTREL1400::nBRIO000
