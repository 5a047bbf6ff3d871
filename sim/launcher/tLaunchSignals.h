// The launcher's signals. Termination requests (SIGTERM, SIGINT, SIGHUP,
// SIGQUIT) are blocked from the launcher's first moment and passed on to
// the program from the moment it exists, so that no request at any moment
// ends the launcher while its program runs on, or leaves its sandbox
// behind. A request the terminal sent to the whole process group reached
// the program already and is not passed on again. SIGCHLD is at its
// default while the launcher runs, so that it can wait for its program
// whatever disposition it inherited. The program starts with the
// dispositions and the mask the launcher found.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <array>

namespace nKESTRELSIM {

class tLaunchSignals {
 public:
  tLaunchSignals();
  tLaunchSignals(const tLaunchSignals&) = delete;
  tLaunchSignals& operator=(const tLaunchSignals&) = delete;

  // A termination request that came before the program was started: its
  // signal number, else 0.
  int pendingRequest() const;
  // In the forked child before it executes the program: what the launcher
  // found. Async-signal-safe.
  void restoreInChild() const noexcept;
  // The program runs: requests go to it, those that waited first.
  void passOnTo(pid_t program);
  // The program has ended (and is not reaped yet): nothing more goes to it.
  void programEnded() noexcept;

 private:
  static constexpr std::array<int, 5> kHandled = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGCHLD};
  std::array<struct sigaction, kHandled.size()> found_{};
  sigset_t foundMask_{};
  sigset_t requests_{};
};

}  // namespace nKESTRELSIM
