// A notification reader with a thread of its own that hands every message
// to a handler.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <atomic>

#include "platform/tIONotificationReader.h"

namespace nKESTREL1400::nBRIO000 {

class tThreadedIONotificationReader : public tIONotificationReader {
 public:
  // Runs on the reader thread for every wait that did not end in a wake-up,
  // also after a failed wait (kind 0, no notification, the error in status).
  using tHandler = void (*)(std::int32_t kind, tIONotification* notification, void* data, std::uint32_t size,
                            tStatus& status);

  // Starts the thread "kestrel" (SCHED_OTHER, priority 0, explicit
  // scheduling). Failures raise -52008 at "thread".
  tThreadedIONotificationReader(std::uint64_t queueDepth, tHandler handler, tStatus& status) noexcept;
  // Wakes the thread and joins it before the descriptors are closed.
  ~tThreadedIONotificationReader() override;

  bool isRunning() const noexcept { return running_.load(std::memory_order_acquire); }
  // Ends the thread now (the destructor does the same): wakes it and joins
  // it. Called by the handler on the reader thread itself, it cannot join:
  // the thread is detached instead and ends as soon as the handler returns,
  // without touching the reader again, so the handler may go on to destroy
  // the reader. In a child process after a fork the thread is the parent's:
  // nothing is sent to it.
  void stop() noexcept;

  // A wait that keeps failing would call the handler again at once; the
  // loop pauses after each failure instead, doubling from 1 ms up to this
  // bound. A stop ends the thread after the handler call in progress, or
  // at once during a pause, however busy or failing the socket is.
  static constexpr int kLongestFailurePauseMs = 500;

 private:
  static void* threadEntry(void* record) noexcept;
  static void* readerLoop(void* argument) noexcept;
  // One pass of the loop; false when the thread is to end.
  bool serveOnce(int& pauseMs, const bool& stoppedByHandler) noexcept;
  void startThread(tStatus& status) noexcept;

  tHandler handler_ = nullptr;
  pthread_t thread_{};
  void* threadArgument_ = nullptr;
  void* (*threadRoutine_)(void*) = nullptr;
  char* threadName_ = nullptr;
  std::atomic<bool> running_{false};
  std::atomic<bool> joinable_{false};
  std::atomic<bool> stopping_{false};
  pid_t process_ = 0;
};

}  // namespace nKESTREL1400::nBRIO000
