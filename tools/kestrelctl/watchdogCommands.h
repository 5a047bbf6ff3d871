// kestrelctl watchdog start | pet | stop | wait | keepalive | get | set.
//
// What each command leaves behind: the library stops the timer when the
// last watchdog session of a process closes. `stop` and `keepalive` end with
// the timer stopped. Every other command ends without closing its session
// when it leaves the timer running, so `start` keeps the timer armed after
// the command exits, and `get`, `set`, `pet` and `wait` never disturb a
// timer that another program armed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/kestrelctl/attributeCatalog.h"

namespace kestrelctl {

struct tWatchdogRequest {
  std::optional<std::uint32_t> timeoutMs;  // start, wait --start, keepalive: written before the start
  std::uint32_t intervalMs = 0;            // keepalive
  std::optional<std::chrono::milliseconds> duration;  // keepalive --for; none: until stopped
  std::optional<std::chrono::milliseconds> within;    // wait --within; none: no limit
  bool startFirst = false;                 // wait --start
  std::optional<tAttribute> attribute;     // get, set
  std::string attributeText;               // as the user wrote it
  std::uint32_t value = 0;                 // set
};

enum class tWatchdogCommand { start, pet, stop, wait, keepalive, get, set };

int runWatchdogCommand(tWatchdogCommand command, const tWatchdogRequest& request);

}  // namespace kestrelctl
