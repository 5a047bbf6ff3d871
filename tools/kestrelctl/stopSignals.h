// Ctrl-C (SIGINT) and SIGTERM as requests to stop: blocked while the object
// lives and received by waiting for them, so that a command can stop the
// watchdog timer, or release a held route, cleanly instead of dying with it
// running. Create it before any other thread, which then inherits the
// blocked signals.
#pragma once

#include <signal.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <thread>

namespace kestrelctl {

// "SIGINT", "SIGTERM".
const char* signalName(int signal);

class tStopSignals {
 public:
  tStopSignals();
  ~tStopSignals();
  tStopSignals(const tStopSignals&) = delete;
  tStopSignals& operator=(const tStopSignals&) = delete;

  // Sleeps up to `timeout`; true when a stop signal arrived meanwhile.
  bool waitFor(std::chrono::milliseconds timeout) const;
  // Sleeps until a stop signal arrives; returns it.
  int waitForSignal() const;
  // Waits until a stop signal arrives or one of `descriptors` can be read
  // (or has hung up): the index of that descriptor, or -1 after a signal.
  int waitForSignalOr(std::span<const int> descriptors);
  // The stop signal waitForSignalOr() received, 0 before one did.
  int lastSignal() const { return lastSignal_; }

  // Calls `onStop` on a thread of its own when a stop signal arrives,
  // until the watcher is destroyed.
  class tWatcher {
   public:
    // With a `limit`, also calls `onStop` once the limit has passed.
    tWatcher(const tStopSignals& signals, std::function<void()> onStop,
             std::optional<std::chrono::milliseconds> limit = std::nullopt);
    ~tWatcher();
    tWatcher(const tWatcher&) = delete;
    tWatcher& operator=(const tWatcher&) = delete;
    bool stopped() const { return signal_.load() != 0; }
    // The stop signal that arrived, 0 when none did.
    int signal() const { return signal_.load(); }
    bool timedOut() const { return timedOut_.load(); }

   private:
    std::atomic<int> signal_{0};
    std::atomic<bool> timedOut_{false};
    std::thread thread_;
  };

 private:
  sigset_t stopSet_;
  sigset_t watchSet_;  // stopSet_ and the signal that ends a watcher
  sigset_t previous_;
  int descriptor_ = -1;  // a signalfd of the stop signals
  int lastSignal_ = 0;
};

}  // namespace kestrelctl
