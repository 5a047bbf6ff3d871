#include "tools/kestrelctl/stopSignals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

namespace kestrelctl {
namespace {

// Ends a watcher thread; blocked like the stop signals.
constexpr int kWatcherEnd = SIGUSR1;

}  // namespace

const char* signalName(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal"; }

tStopSignals::tStopSignals() {
  sigemptyset(&stopSet_);
  sigaddset(&stopSet_, SIGINT);
  sigaddset(&stopSet_, SIGTERM);
  watchSet_ = stopSet_;
  sigaddset(&watchSet_, kWatcherEnd);
  pthread_sigmask(SIG_BLOCK, &watchSet_, &previous_);
  descriptor_ = signalfd(-1, &stopSet_, SFD_CLOEXEC | SFD_NONBLOCK);
}

tStopSignals::~tStopSignals() {
  if (descriptor_ >= 0) close(descriptor_);
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int tStopSignals::waitForSignalOr(std::span<const int> descriptors) {
  std::vector<pollfd> watched{{descriptor_, POLLIN, 0}};
  for (const int fd : descriptors) watched.push_back({fd, POLLIN, 0});
  for (;;) {
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if ((watched[0].revents & POLLIN) != 0) {
      signalfd_siginfo received{};
      if (read(descriptor_, &received, sizeof received) == static_cast<ssize_t>(sizeof received)) {
        lastSignal_ = static_cast<int>(received.ssi_signo);
        return -1;
      }
    }
    for (std::size_t i = 1; i < watched.size(); ++i) {
      if (watched[i].revents != 0) return static_cast<int>(i - 1);
    }
  }
}

int tStopSignals::waitForSignal() const {
  for (;;) {
    int received = 0;
    if (sigwait(&stopSet_, &received) == 0) return received;
  }
}

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
        if (received == 0) {
          timedOut_ = true;
        } else {
          signal_ = received;
        }
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
