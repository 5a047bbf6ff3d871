// Marks the simulator's own work on a thread: C library calls made while a
// guard is alive go straight to the C library, never back into the
// simulator.
#pragma once

namespace nKESTRELSIM {

class tReentryGuard {
 public:
  tReentryGuard() noexcept { ++depth(); }
  ~tReentryGuard() { --depth(); }
  tReentryGuard(const tReentryGuard&) = delete;
  tReentryGuard& operator=(const tReentryGuard&) = delete;

  static bool isOutside() noexcept { return depth() == 0; }

 private:
  static int& depth() noexcept {
    static thread_local int level = 0;
    return level;
  }
};

}  // namespace nKESTRELSIM
