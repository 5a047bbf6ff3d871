// kestrelctl watchdog start | pet | stop | wait | keepalive | get | set.
// Each command opens the watchdog session for its own run; the close at
// the end stops the timer.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrelctl {

struct tWatchdogRequest {
  std::optional<std::uint32_t> timeoutMs;  // start, wait --start, keepalive: written before the start
  std::uint32_t intervalMs = 0;            // keepalive
  std::optional<std::chrono::milliseconds> duration;  // keepalive --for; none: until stopped
  bool startFirst = false;                 // wait --start
  std::string attribute;                   // get, set
  std::string value;                       // set
  bool json = false;
};

enum class tWatchdogCommand { start, pet, stop, wait, keepalive, get, set };

int runWatchdogCommand(tWatchdogCommand command, const tWatchdogRequest& request);

}  // namespace kestrelctl
