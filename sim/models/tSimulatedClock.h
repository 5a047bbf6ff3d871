// The time the simulated driver's timers run on. Programs under kestrel-sim
// run on the machine's steady clock; a test switches to manual time, which
// stands still until the test advances it, so that no test depends on the
// machine's speed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace nKESTRELSIM {

class tSimulatedClock {
 public:
  using tDuration = std::chrono::nanoseconds;
  using tTimePoint = std::chrono::steady_clock::time_point;

  // The one clock of the process.
  static tSimulatedClock& instance() noexcept;

  tTimePoint now() const noexcept;
  bool isManual() const noexcept { return manual_.load(std::memory_order_acquire); }

  // Manual time starts at the present moment and moves only by advance().
  void useManualTime() noexcept;
  void useRealTime() noexcept;
  // Moves manual time forward; ignored on real time.
  void advance(tDuration step) noexcept;

 private:
  std::atomic<bool> manual_{false};
  std::atomic<std::int64_t> manualNow_{0};  // nanoseconds of the steady clock's epoch
};

}  // namespace nKESTRELSIM
