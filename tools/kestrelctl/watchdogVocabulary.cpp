#include "tools/kestrelctl/watchdogVocabulary.h"

#include <array>
#include <charconv>

#include "tools/kestrelctl/numberText.h"

namespace kestrelctl {
namespace {

constexpr std::array kAttributes{
    tWatchdogAttribute{"timeout", kWatchdogTimeoutAttribute, true,
                       "milliseconds from a start or pet to the expiry (at least 1)"},
    tWatchdogAttribute{"expiryAction", 0x20070200, true,
                       "what an expiry does: 0 notify only, 1 reset the controller, 2 fire the watchdog trigger"},
    tWatchdogAttribute{"state", 0x20070300, false, "0 stopped, 1 running, 2 expired"},
    tWatchdogAttribute{"remaining", 0x20070400, false, "milliseconds left before a running timer expires"},
};

struct tNotificationMeaning {
  std::int32_t value;
  const char* meaning;
};

constexpr std::array kNotifications{
    tNotificationMeaning{1, "expired"},
    tNotificationMeaning{2, "wait cancelled"},
    tNotificationMeaning{kNotificationsEnded, "notifications ended"},
    tNotificationMeaning{4, "expired, controller reset"},
    tNotificationMeaning{5, "expired, watchdog trigger fired"},
};

struct tUnit {
  std::string_view suffix;
  long long milliseconds;
};

// Longest suffix first, so that "ms" is not read as "s".
constexpr std::array kUnits{tUnit{"ms", 1}, tUnit{"s", 1000}, tUnit{"m", 60'000}, tUnit{"h", 3'600'000}};

}  // namespace

std::span<const tWatchdogAttribute> watchdogAttributes() { return kAttributes; }

std::optional<tWatchdogAttribute> findWatchdogAttribute(std::string_view nameOrId) {
  for (const auto& attribute : kAttributes) {
    if (nameOrId == attribute.name) return attribute;
  }
  const auto id = parseU32(nameOrId);
  if (!id) return std::nullopt;
  for (const auto& attribute : kAttributes) {
    if (*id == attribute.id) return attribute;
  }
  return tWatchdogAttribute{"", *id, true, ""};
}

std::string describeNotification(std::int32_t value) {
  for (const auto& notification : kNotifications) {
    if (notification.value == value) return notification.meaning;
  }
  return "notification " + std::to_string(value);
}

std::optional<std::chrono::milliseconds> parseDuration(std::string_view text) {
  long long scale = 1000;
  for (const auto& unit : kUnits) {
    if (!text.ends_with(unit.suffix)) continue;
    text.remove_suffix(unit.suffix.size());
    scale = unit.milliseconds;
    break;
  }
  long long amount = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), amount);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || amount < 0) return std::nullopt;
  if (amount > 1'000'000'000'000LL / scale) return std::nullopt;
  return std::chrono::milliseconds(amount * scale);
}

}  // namespace kestrelctl
