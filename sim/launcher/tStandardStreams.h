// Standard input, output and error as the launcher found them. One that
// was closed is held by a placeholder (/dev/null) while the launcher runs,
// so that none of the launcher's own descriptors (the driver's socket, its
// connections, the files it writes) takes its place and the launcher's own
// messages go nowhere; the program gets it closed again, as it would
// without the simulator.
#pragma once

#include <array>

namespace nKESTRELSIM {

class tStandardStreams {
 public:
  tStandardStreams() noexcept;
  tStandardStreams(const tStandardStreams&) = delete;
  tStandardStreams& operator=(const tStandardStreams&) = delete;

  // In the forked child before it executes the program. Async-signal-safe.
  void closePlaceholdersInChild() const noexcept;

 private:
  std::array<bool, 3> placeholder_{};
};

}  // namespace nKESTRELSIM
