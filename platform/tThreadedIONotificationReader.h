// A notification reader with a thread of its own that hands every message
// to a handler.
#pragma once

#include <pthread.h>

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

  bool isRunning() const noexcept { return running_; }
  // Ends the thread now (the destructor does the same).
  void stop() noexcept;

  // A wait that keeps failing would call the handler again at once; the
  // loop pauses after each failure instead, doubling from 1 ms up to this
  // bound. A wake-up during a pause ends the thread at once (a failing
  // socket is served before the wake-up pipe, so the pause is where a
  // failing reader learns that it should end).
  static constexpr int kLongestFailurePauseMs = 500;

 private:
  static void* threadEntry(void* record) noexcept;
  static void* readerLoop(void* argument) noexcept;
  void startThread(tStatus& status) noexcept;

  tHandler handler_ = nullptr;
  pthread_t thread_{};
  void* threadArgument_ = nullptr;
  void* (*threadRoutine_)(void*) = nullptr;
  char* threadName_ = nullptr;
  bool running_ = false;
  bool joinable_ = false;
};

}  // namespace nKESTREL1400::nBRIO000
