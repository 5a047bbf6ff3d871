#include "tools/kestrelctl/watchdogVocabulary.h"

#include <array>
#include <charconv>

#include <kestrel/kestrel.h>

#include "tools/kestrelctl/numberText.h"

namespace kestrelctl {
namespace {

constexpr std::string_view kFullNamePrefix = "watchdog-";

struct tNotificationMeaning {
  std::int32_t value;
  const char* meaning;
};

constexpr std::array kNotifications{
    tNotificationMeaning{KESTREL_WATCHDOG_NOTIFY_EXPIRED, "expired"},
    tNotificationMeaning{KESTREL_WATCHDOG_NOTIFY_CANCELLED, "wait cancelled"},
    tNotificationMeaning{KESTREL_WATCHDOG_NOTIFY_ENDED, "notifications ended"},
    tNotificationMeaning{KESTREL_WATCHDOG_NOTIFY_EXPIRED_RESET, "expired, controller reset"},
    tNotificationMeaning{KESTREL_WATCHDOG_NOTIFY_EXPIRED_TRIGGER, "expired, watchdog trigger fired"},
};

struct tUnit {
  std::string_view suffix;
  long long milliseconds;
};

// Longest suffix first, so that "ms" is not read as "s".
constexpr std::array kUnits{tUnit{"ms", 1}, tUnit{"s", 1000}, tUnit{"m", 60'000}, tUnit{"h", 3'600'000}};

}  // namespace

std::optional<tAttribute> findWatchdogAttribute(std::string_view nameOrId) {
  // Names of earlier releases.
  if (nameOrId == "expiryAction") nameOrId = "expiry-action";
  for (const auto& attribute : attributeCatalog()) {
    if (attribute.target != tTarget::watchdog) continue;
    const std::string_view name = attribute.name;
    if (nameOrId == name || nameOrId == name.substr(kFullNamePrefix.size())) return attribute;
  }
  const auto id = parseU32(nameOrId);
  if (!id) return std::nullopt;
  return findAttribute(nameOrId, tTarget::watchdog);
}

std::string watchdogAttributeNames() {
  std::string names;
  for (const auto& attribute : attributeCatalog()) {
    if (attribute.target != tTarget::watchdog) continue;
    names += (names.empty() ? "" : ", ") + std::string(std::string_view(attribute.name).substr(kFullNamePrefix.size()));
  }
  return names;
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
