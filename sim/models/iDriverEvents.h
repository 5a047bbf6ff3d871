// What a driver model may do beyond answering a request: deliver
// notifications to the registrations made on its device.
#pragma once

#include <cstdint>
#include <span>

namespace nKESTRELSIM {

class iDriverEvents {
 public:
  virtual ~iDriverEvents() = default;
  // A data notification (event type 1) to every registration of the id.
  virtual void notify(std::uint32_t notificationId, std::span<const std::uint8_t> data) = 0;
  // The end message (event type 2) to every registration of the id.
  virtual void endNotifications(std::uint32_t notificationId) = 0;
};

}  // namespace nKESTRELSIM
