#include "sim/system/tNotificationRegistry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/driverWireFormat.h"
#include "sim/driver/tNetlinkHub.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {
constexpr std::uint16_t kGenericNetlinkFamily = 0x1A;
}  // namespace

std::vector<std::uint8_t> tNotificationRegistry::buildMessage(std::uint64_t cookie, std::uint16_t eventType,
                                                              std::span<const std::uint8_t> data) {
  tDriverMessage message{};
  const std::size_t dataLength = std::min<std::size_t>(data.size(), kMaxEventData);
  message.length = static_cast<std::uint32_t>(kMessageHeaderSize + dataLength);
  message.type = kGenericNetlinkFamily;
  message.header[0] = 1;  // command
  message.header[1] = 1;  // version
  message.eventType = eventType;
  message.cookie = cookie;
  message.dataLength = static_cast<std::uint32_t>(dataLength);
  if (dataLength != 0) std::memcpy(message.data, data.data(), dataLength);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&message);
  return {bytes, bytes + message.length};
}

void tNotificationRegistry::add(tRegistration registration) {
  std::erase_if(registrations_, [&](const tRegistration& held) {
    return held.descriptor == registration.descriptor && held.notificationId == registration.notificationId;
  });
  registrations_.push_back(std::move(registration));
}

void tNotificationRegistry::end(int descriptor, std::uint32_t notificationId, bool everyId) {
  std::erase_if(registrations_, [&](const tRegistration& registration) {
    if (registration.descriptor != descriptor) return false;
    if (!everyId && registration.notificationId != notificationId) return false;
    hub_.send(registration.portId, buildMessage(registration.cookie, kEventEnd, {}));
    return true;
  });
}

std::size_t tNotificationRegistry::deliver(std::uint32_t notificationId, std::uint16_t eventType,
                                           std::span<const std::uint8_t> data,
                                           const std::function<bool(int descriptor)>& reaches) {
  std::size_t delivered = 0;
  for (const auto& registration : registrations_) {
    if (registration.notificationId != notificationId || !reaches(registration.descriptor)) continue;
    if (hub_.send(registration.portId, buildMessage(registration.cookie, eventType, data))) ++delivered;
  }
  return delivered;
}

}  // namespace nKESTRELSIM
