// The watchdog's attribute names and notification values as the controller's
// driver defines them, and the duration texts of the command line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrelctl {

struct tWatchdogAttribute {
  const char* name;
  std::uint32_t id;
  bool writable;
  const char* description;
};

inline constexpr std::uint32_t kWatchdogTimeoutAttribute = 0x20070100;
// The value a wait reports once the driver has ended the notifications.
inline constexpr std::int32_t kNotificationsEnded = 3;

std::span<const tWatchdogAttribute> watchdogAttributes();
// A name of the table, or an id in decimal or 0x... hex (passed through as
// given, with no name).
std::optional<tWatchdogAttribute> findWatchdogAttribute(std::string_view nameOrId);

// What a notification value says: "expired", "notifications ended", ...
std::string describeNotification(std::int32_t value);


// "2s", "1500ms", "1m", "1h"; a bare number is seconds.
std::optional<std::chrono::milliseconds> parseDuration(std::string_view text);

}  // namespace kestrelctl
