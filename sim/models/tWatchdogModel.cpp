#include "sim/models/tWatchdogModel.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

constexpr std::uint32_t kActionCount = 3;

std::uint8_t eventOf(tWatchdogModel::tExpiryAction action) {
  switch (action) {
    case tWatchdogModel::tExpiryAction::kReset: return tWatchdogModel::kExpiredResetEvent;
    case tWatchdogModel::tExpiryAction::kTrigger: return tWatchdogModel::kExpiredTriggerEvent;
    case tWatchdogModel::tExpiryAction::kNotify: break;
  }
  return tWatchdogModel::kExpiredEvent;
}

}  // namespace

tWatchdogModel::tWatchdogModel() {
  // Ids the watchdog does not define are kept as written.
  attributes().acceptUnknownWrites(true);
  attributes().setU32(kTimeoutAttribute, kDefaultTimeoutMs);
  attributes().setU32(kExpiryActionAttribute, static_cast<std::uint32_t>(tExpiryAction::kNotify));
  publishState();
}

void tWatchdogModel::handle(tDriverRequest& request, iDriverEvents& events) {
  expireIfDue(events);
  if (request.code == kSetAttribute && refusesWrite(request)) {
    if (request.error == 0) answer(request, kestrelerr_attributeNotSupported);
    return;
  }
  publishState();
  tHostControllerFamilyModel::handle(request, events);
}

std::optional<tSimulatedClock::tTimePoint> tWatchdogModel::deadline() const noexcept {
  if (state_ != tState::kRunning) return std::nullopt;
  return deadline_;
}

void tWatchdogModel::expire(iDriverEvents& events) {
  if (state_ != tState::kRunning) return;
  state_ = tState::kExpired;
  ++expiries_;
  const auto action = static_cast<tExpiryAction>(attributes().u32(kExpiryActionAttribute).value_or(0));
  const std::uint8_t event = eventOf(action);
  events.notify(kWatchdogNotificationId, {&event, 1});
}

bool tWatchdogModel::expireIfDue(iDriverEvents& events) {
  if (state_ != tState::kRunning || tSimulatedClock::instance().now() < deadline_) return false;
  expire(events);
  return true;
}

bool tWatchdogModel::handleOwn(tDriverRequest& request, iDriverEvents& events) {
  tStatusInput input{};
  if (request.code == kStartWatchdogTimer) {
    if (!request.readInput(input)) return true;
    arm();
    starter_ = request.opener;
    answer(request, 0);
  } else if (request.code == kStopWatchdogTimer) {
    if (!request.readInput(input)) return true;
    state_ = tState::kStopped;
    answer(request, 0);
  } else if (request.code == kPetWatchdog) {
    if (!request.readInput(input)) return true;
    // An expired timer must be started again; petting it is refused.
    if (state_ == tState::kRunning) {
      ++pets_;
      arm();
    }
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

void tWatchdogModel::released(std::uint64_t opener, iDriverEvents& events) {
  expireIfDue(events);
  if (stopOnRelease_ && opener == starter_ && state_ == tState::kRunning) state_ = tState::kStopped;
}

void tWatchdogModel::arm() {
  state_ = tState::kRunning;
  deadline_ = tSimulatedClock::instance().now() + std::chrono::milliseconds(timeoutMs());
}

std::uint32_t tWatchdogModel::timeoutMs() const {
  return std::max<std::uint32_t>(attributes().u32(kTimeoutAttribute).value_or(kDefaultTimeoutMs), 1);
}

bool tWatchdogModel::refusesWrite(tDriverRequest& request) const {
  tAttributeInput input{};
  if (!request.readInput(input)) return true;
  if (input.attributeId != kTimeoutAttribute && input.attributeId != kExpiryActionAttribute) return false;
  if (input.valueSize != sizeof(std::uint32_t)) return true;
  std::uint32_t value = 0;
  const auto bytes = copyFromUser(input.valueAddress, sizeof value);
  std::memcpy(&value, bytes.data(), sizeof value);
  return input.attributeId == kTimeoutAttribute ? value == 0 : value >= kActionCount;
}

void tWatchdogModel::publishState() {
  std::uint32_t remaining = 0;
  if (state_ == tState::kRunning) {
    const auto left = deadline_ - tSimulatedClock::instance().now();
    remaining = static_cast<std::uint32_t>(
        std::max<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count(), 0));
  }
  attributes().setU32(kStateAttribute, static_cast<std::uint32_t>(state_), false);
  attributes().setU32(kRemainingAttribute, remaining, false);
}

void tWatchdogModel::answer(tDriverRequest& request, std::int32_t status) {
  request.writeOutput(tStatusOutput{status});
}

}  // namespace nKESTRELSIM
