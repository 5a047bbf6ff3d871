// The process-wide watchdog session behind kWatchdogHandle.
#pragma once

#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"
#include "source/user/tSessionModule.h"

namespace nKESTREL1400 {

class tWatchdogUserSession final : public tSharedSession {
 public:
  using tReference = tSessionReference<tWatchdogUserSession>;

  static tWatchdogUserSession* openSession(tStatusReport& status) noexcept;
  static void closeSession() noexcept;
  static tReference currentSession(tStatusReport& status) noexcept;

  void startTimer(tStatusReport& status) noexcept;
  void stopTimer(tStatusReport& status) noexcept;
  void pet(tStatusReport& status) noexcept;
  void cancelWaitForNotification(tStatusReport& status) noexcept;
  void waitForNotification(std::int32_t& value, tStatusReport& status) noexcept;
  void getAttributeU32(std::uint32_t attribute, std::uint32_t& value, tStatusReport& status) noexcept;
  void setAttributeU32(std::uint32_t attribute, std::uint32_t value, tStatusReport& status) noexcept;

 private:
  tWatchdogUserSession() noexcept = default;
  ~tWatchdogUserSession() override = default;
  void construct(tStatusReport& status) noexcept;
};

}  // namespace nKESTREL1400
