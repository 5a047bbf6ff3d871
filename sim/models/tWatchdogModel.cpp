#include "tWatchdogModel.h"

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

tWatchdogModel::tWatchdogModel() {
  // The watchdog's attributes are the driver's own; any id may be written.
  attributes().acceptUnknownWrites(true);
}

void tWatchdogModel::expire(iDriverEvents& events) {
  if (state_ != tState::kRunning) return;
  state_ = tState::kExpired;
  const std::uint8_t event = kExpiredEvent;
  events.notify(kWatchdogNotificationId, {&event, 1});
}

bool tWatchdogModel::handleOwn(tDriverRequest& request, iDriverEvents& events) {
  tStatusInput input{};
  if (request.code == kStartWatchdogTimer) {
    if (!request.readInput(input)) return true;
    state_ = tState::kRunning;
    answer(request, 0);
  } else if (request.code == kStopWatchdogTimer) {
    if (!request.readInput(input)) return true;
    state_ = tState::kStopped;
    answer(request, 0);
  } else if (request.code == kPetWatchdog) {
    if (!request.readInput(input)) return true;
    // An expired timer must be started again; petting it is refused.
    if (state_ == tState::kRunning) ++pets_;
    answer(request, state_ == tState::kExpired ? brioerr_busy : 0);
  } else if (request.code == kCancelWaitForWatchdogNotification) {
    if (!request.readInput(input)) return true;
    const std::uint8_t event = kCancelledEvent;
    events.notify(kWatchdogNotificationId, {&event, 1});
    answer(request, 0);
  } else {
    return false;
  }
  return true;
}

void tWatchdogModel::answer(tDriverRequest& request, std::int32_t status) {
  request.writeOutput(tStatusOutput{status});
}

}  // namespace nKESTRELSIM
