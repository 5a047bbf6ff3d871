#include "platform/tThreadedIONotificationReader.h"

#include <sched.h>
#include <sys/prctl.h>

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
  startThread(status);
  running_ = status.isNotError();
  joinable_ = running_;
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
  if (!joinable_) return;
  tStatus local;
  cancel(local);
  pthread_join(thread_, nullptr);
  running_ = false;
  joinable_ = false;
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
  int pauseMs = 0;
  for (;;) {
    tKind kind = kNotify;
    std::uint32_t size = 0;
    tStatus status;
    alignas(8) std::uint8_t data[kLoopDataSize] = {};
    tIONotification* notification = reader->wait(kind, data, size, status, -1);
    if (kind == kCancelled) return nullptr;
    reader->handler_(kind, notification, data, size, status);
    if (status.isNotError()) {
      pauseMs = 0;
      continue;
    }
    pauseMs = pauseMs == 0 ? 1 : std::min(pauseMs * 2, kLongestFailurePauseMs);
    if (reader->waitForWakeUp(pauseMs)) return nullptr;
  }
}

}  // namespace nKESTREL1400::nBRIO000
