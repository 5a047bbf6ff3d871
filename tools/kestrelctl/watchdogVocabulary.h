// The watchdog's attribute names and notification values as the controller's
// driver defines them, and the duration texts of the command line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/kestrelctl/attributeCatalog.h"

namespace kestrelctl {

// A watchdog attribute of the catalog by its short name ("timeout",
// "expiry-action", "state", "remaining"), its full name ("watchdog-state"),
// or an id in decimal or 0x... hex (passed through as given, with no name).
std::optional<tAttribute> findWatchdogAttribute(std::string_view nameOrId);
// The short names, for help texts.
std::string watchdogAttributeNames();

// What a notification value says: "expired", "notifications ended", ...
std::string describeNotification(std::int32_t value);


// "2s", "1500ms", "1m", "1h"; a bare number is seconds.
std::optional<std::chrono::milliseconds> parseDuration(std::string_view text);

}  // namespace kestrelctl
