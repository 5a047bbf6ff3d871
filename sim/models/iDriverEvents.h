// What a driver model may do beyond answering a request: deliver
// notifications to the registrations made on its device, and say which
// firmware images it accepted.
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
  // A firmware image the device accepted, once, when it accepted it;
  // `target` names the part it is for ("BIOS", "MARTEN"). Whoever has no
  // use for images leaves them.
  virtual void imageReceived(const char* /*target*/, std::span<const std::uint8_t> /*image*/) {}
};

}  // namespace nKESTRELSIM
