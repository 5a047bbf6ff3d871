// The watchdog timer ("hostController_hostControllerWatchdog"): stopped,
// running or expired; notifications go to registrations of id 0x70.
#pragma once

#include <cstdint>

#include "tHostControllerFamilyModel.h"

namespace nKESTRELSIM {

class tWatchdogModel : public tHostControllerFamilyModel {
 public:
  enum class tState { kStopped, kRunning, kExpired };
  // Notification bytes this model delivers.
  static constexpr std::uint8_t kExpiredEvent = 1;
  static constexpr std::uint8_t kCancelledEvent = 2;

  tWatchdogModel();

  std::string interfaceName() const override { return "hostController_hostControllerWatchdog"; }

  tState state() const noexcept { return state_; }
  std::uint32_t petCount() const noexcept { return pets_; }
  // Lets a running timer expire now: state kExpired and a notification with
  // kExpiredEvent. Does nothing unless running.
  void expire(iDriverEvents& events);

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  // Answers the status of a request that carries only statusIn.
  void answer(tDriverRequest& request, std::int32_t status);

  tState state_ = tState::kStopped;
  std::uint32_t pets_ = 0;
};

}  // namespace nKESTRELSIM
