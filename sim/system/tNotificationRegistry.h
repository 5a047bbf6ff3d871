// The notification registrations made on open device files, and the
// driver messages that reach them through the netlink sockets. Guarded by
// the simulator's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace nKESTRELSIM {

class tNetlinkHub;

struct tRegistration {
  std::string interfaceName;
  int descriptor = -1;
  std::uint64_t cookie = 0;
  std::uint32_t portId = 0;
  std::uint32_t notificationId = 0;
};

class tNotificationRegistry {
 public:
  explicit tNotificationRegistry(tNetlinkHub& hub) : hub_(hub) {}

  // The bytes of a well-formed driver message.
  static std::vector<std::uint8_t> buildMessage(std::uint64_t cookie, std::uint16_t eventType,
                                                std::span<const std::uint8_t> data);

  const std::vector<tRegistration>& all() const noexcept { return registrations_; }
  // Registering an id again on the same descriptor replaces the registration.
  void add(tRegistration registration);
  // Ends the descriptor's registrations of the id (of every id when
  // `everyId`), each with the end message.
  void end(int descriptor, std::uint32_t notificationId, bool everyId);
  // A message to every registration of the id whose descriptor `reaches`
  // accepts; returns how many were delivered.
  std::size_t deliver(std::uint32_t notificationId, std::uint16_t eventType, std::span<const std::uint8_t> data,
                      const std::function<bool(int descriptor)>& reaches);
  void clear() noexcept { registrations_.clear(); }

 private:
  tNetlinkHub& hub_;
  std::vector<tRegistration> registrations_;
};

}  // namespace nKESTRELSIM
