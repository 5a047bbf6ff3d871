#include "platform/tThreadedIONotificationReader.h"

#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "kestrel/kestrel.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr const char* kFile = "thread";
constexpr const char* kThreadName = "kestrel";
constexpr std::uint32_t kAttributeLine = 594;
constexpr std::uint32_t kCreateLine = 632;
constexpr std::size_t kLoopDataSize = 40;

// The reader whose loop runs on this thread, and the loop's flag that a
// stop from the handler sets: the only way the loop learns of it without
// touching a reader the handler may have destroyed.
thread_local const tThreadedIONotificationReader* tLoopReader = nullptr;
thread_local bool* tLoopStopped = nullptr;

bool setSchedulingAttributes(pthread_attr_t& attributes) noexcept {
  sched_param parameters{};
  parameters.sched_priority = 0;
  return pthread_attr_setschedpolicy(&attributes, SCHED_OTHER) == 0 &&
         pthread_attr_setschedparam(&attributes, &parameters) == 0 &&
         pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED) == 0;
}

}  // namespace

tThreadedIONotificationReader::tThreadedIONotificationReader(std::uint64_t queueDepth, tHandler handler,
                                                             tStatus& status) noexcept
    : tIONotificationReader(queueDepth, status), handler_(handler) {
  if (status.isError()) return;
  threadArgument_ = this;
  threadRoutine_ = &readerLoop;
  process_ = getpid();
  startThread(status);
  running_ = status.isNotError();
  joinable_ = status.isNotError();
}

void tThreadedIONotificationReader::startThread(tStatus& status) noexcept {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    status.setCode(brioerr_systemError, kComponent, kFile, kAttributeLine);
    return;
  }
  if (!setSchedulingAttributes(attributes)) {
    pthread_attr_destroy(&attributes);
    status.setCode(brioerr_systemError, kComponent, kFile, kCreateLine);
    return;
  }
  threadName_ = strdup(kThreadName);
  const int created = pthread_create(&thread_, &attributes, &threadEntry, this);
  pthread_attr_destroy(&attributes);
  if (created != 0) {
    status.setCode(brioerr_systemError, kComponent, kFile, kCreateLine);
    std::free(threadName_);
    threadName_ = nullptr;
  }
}

tThreadedIONotificationReader::~tThreadedIONotificationReader() { stop(); }

void tThreadedIONotificationReader::stop() noexcept {
  if (!joinable_.exchange(false)) return;
  stopping_ = true;
  if (getpid() != process_) {
    running_ = false;  // the thread runs in the parent only
    return;
  }
  if (tLoopReader == this) {
    *tLoopStopped = true;
    pthread_detach(pthread_self());
    running_ = false;
    return;
  }
  tStatus local;
  cancel(local);
  pthread_join(thread_, nullptr);
  running_ = false;
  thread_ = pthread_t{};
}

void* tThreadedIONotificationReader::threadEntry(void* record) noexcept {
  auto* reader = static_cast<tThreadedIONotificationReader*>(record);
  if (reader->threadName_ != nullptr) {
    prctl(PR_SET_NAME, reader->threadName_);
    std::free(reader->threadName_);
    reader->threadName_ = nullptr;
  }
  reader->threadRoutine_(reader->threadArgument_);
  return nullptr;
}

void* tThreadedIONotificationReader::readerLoop(void* argument) noexcept {
  auto* reader = static_cast<tThreadedIONotificationReader*>(argument);
  bool stoppedByHandler = false;
  tLoopReader = reader;
  tLoopStopped = &stoppedByHandler;
  int pauseMs = 0;
  while (reader->serveOnce(pauseMs, stoppedByHandler)) {
  }
  tLoopReader = nullptr;
  tLoopStopped = nullptr;
  return nullptr;
}

bool tThreadedIONotificationReader::serveOnce(int& pauseMs, const bool& stoppedByHandler) noexcept {
  tKind kind = kNotify;
  std::uint32_t size = 0;
  tStatus status;
  alignas(8) std::uint8_t data[kLoopDataSize] = {};
  tIONotification* notification = wait(kind, data, size, status, -1);
  if (kind == kCancelled || stopping_) return false;
  handler_(kind, notification, data, size, status);
  // After a stop from the handler the reader may be gone: not a member more.
  if (stoppedByHandler || stopping_) return false;
  // A wait that woke with nothing to report (the channel hung up: the driver
  // went away) would wake again at once: pause as after a failure instead of
  // spinning.
  const bool hungUp = status.isNotError() && kind == kNotify && notification == nullptr && size == 0;
  // Lost notifications (a queue overflow) are reported, not a failing
  // wait: pausing then would only let the queue overflow again.
  if (!hungUp && (status.isNotError() || status.getCode() == brioerr_noBuffers)) {
    pauseMs = 0;
    return true;
  }
  pauseMs = pauseMs == 0 ? 1 : std::min(pauseMs * 2, kLongestFailurePauseMs);
  return !waitForWakeUp(pauseMs);
}

}  // namespace nKESTREL1400::nBRIO000
