// kestrelctl watchdog status | start | pet | stop | wait | keepalive | get |
// set.
//
// What each command leaves behind: the library stops the timer when the
// last watchdog session of a process closes, which also turns an expired
// timer into a stopped one. `stop` and `keepalive` end with the timer
// stopped and close their session. Every other command leaves its session
// to the end of the program, where the driver releases it without a stop:
// `start` keeps the timer armed after the command exits, and `status`,
// `get`, `set`, `pet` and `wait` leave the timer stopped, running or
// expired as they found it.
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

enum class tWatchdogCommand { status, start, pet, stop, wait, keepalive, get, set };

int runWatchdogCommand(tWatchdogCommand command, const tWatchdogRequest& request);

}  // namespace kestrelctl
