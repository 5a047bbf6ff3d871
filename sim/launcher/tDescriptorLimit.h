// The launcher serves a connection for every process of its run: it raises
// its own limit of open descriptors as far as it may. The program gets the
// limit the launcher found.
#pragma once

#include <sys/resource.h>

namespace nKESTRELSIM {

class tDescriptorLimit {
 public:
  tDescriptorLimit() noexcept;
  // In the forked child before it executes the program. Async-signal-safe.
  void restoreInChild() const noexcept;

 private:
  rlimit found_{};
  bool raised_ = false;
};

}  // namespace nKESTRELSIM
