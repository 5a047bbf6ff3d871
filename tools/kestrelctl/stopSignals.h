// Ctrl-C (SIGINT) and SIGTERM as requests to stop: blocked while the object
// lives and received by waiting for them, so that a command can stop the
// watchdog timer cleanly instead of dying with it running. Create it before
// any other thread, which then inherits the blocked signals.
#pragma once

#include <signal.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace kestrelctl {

class tStopSignals {
 public:
  tStopSignals();
  ~tStopSignals();
  tStopSignals(const tStopSignals&) = delete;
  tStopSignals& operator=(const tStopSignals&) = delete;

  // Sleeps up to `timeout`; true when a stop signal arrived meanwhile.
  bool waitFor(std::chrono::milliseconds timeout) const;

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
    bool stopped() const { return stopped_.load(); }
    bool timedOut() const { return timedOut_.load(); }

   private:
    std::atomic<bool> stopped_{false};
    std::atomic<bool> timedOut_{false};
    std::thread thread_;
  };

 private:
  sigset_t stopSet_;
  sigset_t watchSet_;  // stopSet_ and the signal that ends a watcher
  sigset_t previous_;
};

}  // namespace kestrelctl
