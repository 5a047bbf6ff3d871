#include "tools/kestrelctl/watchdogSignals.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace kestrelctl {
namespace {

// Ends a watcher thread; blocked like the stop signals.
constexpr int kWatcherEnd = SIGUSR1;

}  // namespace

tStopSignals::tStopSignals() {
  sigemptyset(&stopSet_);
  sigaddset(&stopSet_, SIGINT);
  sigaddset(&stopSet_, SIGTERM);
  watchSet_ = stopSet_;
  sigaddset(&watchSet_, kWatcherEnd);
  pthread_sigmask(SIG_BLOCK, &watchSet_, &previous_);
}

tStopSignals::~tStopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

bool tStopSignals::waitFor(std::chrono::milliseconds timeout) const {
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const timespec span{static_cast<time_t>(left.count() / 1'000'000'000), static_cast<long>(left.count() % 1'000'000'000)};
    if (sigtimedwait(&stopSet_, nullptr, &span) != -1) return true;
    if (errno != EINTR && errno != EAGAIN) return false;
  }
}

tStopSignals::tWatcher::tWatcher(const tStopSignals& signals, std::function<void()> onStop)
    : thread_([this, &signals, onStop = std::move(onStop)] {
        int received = 0;
        while (sigwait(&signals.watchSet_, &received) != 0) {
        }
        if (received == kWatcherEnd) return;
        stopped_ = true;
        onStop();
      }) {}

tStopSignals::tWatcher::~tWatcher() {
  pthread_kill(thread_.native_handle(), kWatcherEnd);
  thread_.join();
}

}  // namespace kestrelctl
