#include "sim/launcher/tLaunchSignals.h"

#include <signal.h>

namespace nKESTRELSIM {
namespace {

volatile sig_atomic_t gProgram = 0;

void passOn(int number, siginfo_t* information, void*) {
  // The terminal's Ctrl-C, Ctrl-\ and hang-up reach the program's process group itself.
  if (information != nullptr && information->si_code == SI_KERNEL) return;
  const auto program = static_cast<pid_t>(gProgram);
  if (program > 0) kill(program, number);
}

}  // namespace

tLaunchSignals::tLaunchSignals() {
  sigemptyset(&requests_);
  for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&requests_, number);
  sigprocmask(SIG_BLOCK, &requests_, &foundMask_);
  struct sigaction handler {};
  handler.sa_sigaction = &passOn;
  handler.sa_flags = SA_SIGINFO | SA_RESTART;
  sigfillset(&handler.sa_mask);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (std::size_t i = 0; i < kHandled.size(); ++i) {
    sigaction(kHandled[i], kHandled[i] == SIGCHLD ? &byDefault : &handler, &found_[i]);
  }
}

int tLaunchSignals::pendingRequest() const {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    if (sigismember(&pending, number) == 1) return number;
  }
  return 0;
}

void tLaunchSignals::restoreInChild() const noexcept {
  for (std::size_t i = 0; i < kHandled.size(); ++i) sigaction(kHandled[i], &found_[i], nullptr);
  sigprocmask(SIG_SETMASK, &foundMask_, nullptr);
}

void tLaunchSignals::passOnTo(pid_t program) {
  gProgram = program;
  sigprocmask(SIG_UNBLOCK, &requests_, nullptr);
}

void tLaunchSignals::programEnded() noexcept { gProgram = 0; }

}  // namespace nKESTRELSIM
