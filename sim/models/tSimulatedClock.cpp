#include "sim/models/tSimulatedClock.h"

namespace nKESTRELSIM {

tSimulatedClock& tSimulatedClock::instance() noexcept {
  static tSimulatedClock clock;
  return clock;
}

tSimulatedClock::tTimePoint tSimulatedClock::now() const noexcept {
  if (!isManual()) return std::chrono::steady_clock::now();
  return tTimePoint(tDuration(manualNow_.load(std::memory_order_acquire)));
}

void tSimulatedClock::useManualTime() noexcept {
  manualNow_.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_release);
  manual_.store(true, std::memory_order_release);
}

void tSimulatedClock::useRealTime() noexcept { manual_.store(false, std::memory_order_release); }

void tSimulatedClock::advance(tDuration step) noexcept {
  if (isManual() && step.count() > 0) manualNow_.fetch_add(step.count(), std::memory_order_acq_rel);
}

}  // namespace nKESTRELSIM
