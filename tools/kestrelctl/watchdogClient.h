// The watchdog as kestrelctl sees it: an open watchdog session for the
// lifetime of the object. Closing it stops the timer, so a command that is to
// leave the timer running ends with leaveOpen().
#pragma once

#include <kestrel/kestrel.h>

#include <cstdint>

#include "tools/kestrelctl/controllerClient.h"

namespace kestrelctl {

class tWatchdogClient {
 public:
  tWatchdogClient() = default;
  ~tWatchdogClient();
  tWatchdogClient(const tWatchdogClient&) = delete;
  tWatchdogClient& operator=(const tWatchdogClient&) = delete;

  // Opens the watchdog session; the code of the open.
  std::int32_t open();
  // Ends the program without closing the session: the library's close
  // stops the timer, and a running timer is to outlive this command.
  void leaveOpen() { open_ = false; }

  std::int32_t start() const { return KESTREL_startWatchdogTimer(handle_); }
  std::int32_t stop() const { return KESTREL_stopWatchdogTimer(handle_); }
  std::int32_t pet() const { return KESTREL_petWatchdog(handle_); }
  std::int32_t cancelWait() const { return KESTREL_cancelWaitForWatchdogNotification(handle_); }
  tResult<std::int32_t> waitForNotification() const;
  tResult<std::uint32_t> readU32(std::uint32_t id) const;
  std::int32_t writeU32(std::uint32_t id, std::uint32_t value) const;

 private:
  tKestrelHandle handle_ = kWatchdogHandle;
  bool open_ = false;
};

}  // namespace kestrelctl
