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

namespace {

// The next of `signals`, or 0 once `until` has passed.
int nextSignal(const sigset_t& signals, std::optional<std::chrono::steady_clock::time_point> until) {
  for (;;) {
    if (!until) {
      int received = 0;
      if (sigwait(&signals, &received) == 0) return received;
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    const timespec span{static_cast<time_t>(left.count() / 1'000'000'000), static_cast<long>(left.count() % 1'000'000'000)};
    const int received = sigtimedwait(&signals, nullptr, &span);
    if (received > 0) return received;
  }
}

}  // namespace

tStopSignals::tWatcher::tWatcher(const tStopSignals& signals, std::function<void()> onStop,
                                 std::optional<std::chrono::milliseconds> limit)
    : thread_([this, &signals, onStop = std::move(onStop), limit] {
        std::optional<std::chrono::steady_clock::time_point> until;
        if (limit) until = std::chrono::steady_clock::now() + *limit;
        const int received = nextSignal(signals.watchSet_, until);
        if (received == kWatcherEnd) return;
        (received == 0 ? timedOut_ : stopped_) = true;
        onStop();
        // Stay until the owner ends the watcher.
        while (nextSignal(signals.watchSet_, std::nullopt) != kWatcherEnd) {
        }
      }) {}

tStopSignals::tWatcher::~tWatcher() {
  pthread_kill(thread_.native_handle(), kWatcherEnd);
  thread_.join();
}

}  // namespace kestrelctl
