// The notification reader of one routing session. A session destroyed from
// inside its own demotion callback runs on this reader's thread, which can
// neither join itself nor free the reader its loop still uses: the reader
// is then retired, its thread ends on its own, and a later session creation
// or destruction (or the library's unload) joins and frees it.
#pragma once

#include <pthread.h>

#include <atomic>

#include "platform/tThreadedIONotificationReader.h"

namespace tarn {

class tSessionReader {
 public:
  using tHandler = nKESTREL1400::nBRIO000::tThreadedIONotificationReader::tHandler;

  // Starts the reader thread; null with the failure in `status`.
  static tSessionReader* start(tHandler handler, nKESTREL1400::tStatus& status) noexcept;
  // Ends the thread and frees this reader, or retires it when called on
  // its own thread.
  void release() noexcept;

  nKESTREL1400::nBRIO000::tThreadedIONotificationReader& reader() noexcept { return reader_; }

  // Marks this reader's thread as running a demotion callback; only that
  // thread ever stores its own id here, so any thread can tell whether it
  // is the one (the library keeps no thread-local storage, which would
  // stay behind in the loader after an unload).
  class tCallbackScope {
   public:
    explicit tCallbackScope(tSessionReader* reader) noexcept;
    ~tCallbackScope();
    tCallbackScope(const tCallbackScope&) = delete;
    tCallbackScope& operator=(const tCallbackScope&) = delete;

   private:
    tSessionReader* reader_;
  };

  // Joins and frees every retired reader whose thread is not the caller's.
  static void reapRetired() noexcept;

 private:
  tSessionReader(tHandler handler, nKESTREL1400::tStatus& status) noexcept : reader_(0, handler, status) {}
  ~tSessionReader() = default;
  bool runsOnCallingThread() const noexcept;
  void retire() noexcept;

  nKESTREL1400::nBRIO000::tThreadedIONotificationReader reader_;
  std::atomic<pthread_t> callbackThread_{};
  tSessionReader* nextRetired_ = nullptr;
};

}  // namespace tarn
