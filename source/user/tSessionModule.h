// The process-wide slot of a session: its lock, its set-up status and the
// pointer to the open session, with references for operations in flight.
//
// A session starts with one reference, held by the slot while it is
// published. Every operation takes a reference through currentSession() for
// its whole duration, so a close on another thread never frees a session
// that is still in use: the last reference to go destroys it. Taking and
// dropping a reference allocates nothing.
#pragma once

#include <atomic>
#include <mutex>

#include "kestrel/kestrel.h"
#include "platform/tStatus.h"
#include "platform/tStatusReport.h"
#include "source/user/tRecursiveLock.h"

namespace nKESTREL1400 {

class tSharedSession {
 public:
  virtual ~tSharedSession() = default;
  void acquire() noexcept { references_.fetch_add(1, std::memory_order_relaxed); }
  void release() noexcept {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 private:
  std::atomic<long> references_{1};
};

// A reference held for one operation.
template <class Session>
class tSessionReference {
 public:
  tSessionReference() noexcept = default;
  explicit tSessionReference(Session* session) noexcept : session_(session) {}
  tSessionReference(tSessionReference&& other) noexcept : session_(other.session_) { other.session_ = nullptr; }
  tSessionReference& operator=(tSessionReference&&) = delete;
  tSessionReference(const tSessionReference&) = delete;
  ~tSessionReference() {
    if (session_ != nullptr) session_->release();
  }

  Session* get() const noexcept { return session_; }
  Session* operator->() const noexcept { return session_; }
  explicit operator bool() const noexcept { return session_ != nullptr; }

 private:
  Session* session_ = nullptr;
};

template <class Session>
class tSessionModule {
 public:
  tSessionModule() noexcept : lock_(setupStatus_) {}

  const tStatus& setupStatus() const noexcept { return setupStatus_; }
  bool usable(tStatusReport& report) const noexcept {
    if (setupStatus_.isNotError()) return true;
    setupStatus_.copyToReport(report);
    return false;
  }

  tRecursiveLock& lock() noexcept { return lock_; }
  // Under lock():
  Session* published() const noexcept { return session_; }
  void publish(Session* session) noexcept { session_ = session; }

  // The open session with a reference for one operation, or an empty
  // reference with `notOpen` (-26931) in the report.
  tSessionReference<Session> current(tStatusReport& report, const kSourceLocation& notOpen) noexcept {
    if (report.code < 0 || !usable(report)) return {};
    std::lock_guard guard(lock_);
    if (session_ == nullptr) {
      setCode(report, kestrelerr_invalidHandle, notOpen);
      return {};
    }
    session_->acquire();
    return tSessionReference<Session>(session_);
  }

 private:
  tStatus setupStatus_;
  tRecursiveLock lock_;
  Session* session_ = nullptr;
};

}  // namespace nKESTREL1400
