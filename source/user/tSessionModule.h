// The process-wide slot of a session: its lock, its set-up status and the
// pointer to the open session, with references for operations in flight.
//
// A session starts with one reference, held by the slot while it is
// published. Every operation takes a reference through currentSession() for
// its whole duration, so a close on another thread never frees a session
// that is still in use: the last reference to go destroys it. Taking and
// dropping a reference allocates nothing.
//
// An operation is also counted as in flight while it runs. The last close
// holds the lock, which keeps new operations out, and waits until those in
// flight have returned before it ends the session: once it returns, nothing
// of the closed session reaches the driver any more.
//
// After a fork, the session the parent opened is not the child's: the child
// finds no session (calls answer -26931, a close does nothing) and may open
// its own. The lock is taken around the fork, so the child starts with a
// usable lock whatever other threads were doing.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

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

  // An operation starts or ends; the caller holds a reference throughout.
  void enter() noexcept {
    std::lock_guard guard(operationsLock_);
    ++operations_;
  }
  void leave() noexcept {
    std::lock_guard guard(operationsLock_);
    if (--operations_ == 0) operationsEnded_.notify_all();
  }
  // Returns when no operation is in flight. The caller keeps new ones out.
  void waitForOperations() noexcept {
    std::unique_lock guard(operationsLock_);
    operationsEnded_.wait(guard, [this] { return operations_ == 0; });
  }

 private:
  std::atomic<long> references_{1};
  std::mutex operationsLock_;
  std::condition_variable operationsEnded_;
  long operations_ = 0;
};

// A reference held for one operation, counted as in flight.
template <class Session>
class tSessionReference {
 public:
  tSessionReference() noexcept = default;
  explicit tSessionReference(Session* session) noexcept : session_(session) {}
  tSessionReference(tSessionReference&& other) noexcept : session_(other.session_) { other.session_ = nullptr; }
  tSessionReference& operator=(tSessionReference&&) = delete;
  tSessionReference(const tSessionReference&) = delete;
  ~tSessionReference() {
    if (session_ == nullptr) return;
    session_->leave();
    session_->release();
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
  enum tForks { kIgnoreForks, kHandleForks };

  // The process-wide module handles forks; a module of a test need not.
  explicit tSessionModule(tForks forks = kIgnoreForks) noexcept : lock_(setupStatus_) {
    if (forks == kHandleForks && forkModule_ == nullptr) forkModule_ = this;
  }
  ~tSessionModule() {
    if (forkModule_ == this) forkModule_ = nullptr;
  }
  tSessionModule(const tSessionModule&) = delete;
  tSessionModule& operator=(const tSessionModule&) = delete;

  const tStatus& setupStatus() const noexcept { return setupStatus_; }
  bool usable(tStatusReport& report) const noexcept {
    if (setupStatus_.isNotError()) return true;
    setupStatus_.copyToReport(report);
    return false;
  }

  // Opens the session or adds a reference to the open one. A new session
  // is set up by its construct(report) and published only when that
  // succeeds; one that failed has started nothing, and its destruction
  // undoes what it did. An open reentered on its thread is refused (-52011
  // at `reentered`), as is one that finds no memory (-26933 at `noMemory`).
  // The session gives the module its private constructor and construct().
  Session* open(tStatusReport& report, const kSourceLocation& reentered, const kSourceLocation& noMemory) noexcept {
    if (report.code < 0 || !usable(report)) return nullptr;
    tExclusive exclusive(*this);
    if (exclusive.reentered()) {
      setCode(report, brioerr_inProgress, reentered);
      return nullptr;
    }
    if (session_ != nullptr) {
      ++opens_;
      return session_;
    }
    auto* session = new (std::nothrow) Session();
    if (session == nullptr) {
      setCode(report, kestrelerr_memoryFull, noMemory);
      return nullptr;
    }
    session->construct(report);
    if (report.code < 0) {
      session->release();
      return nullptr;
    }
    session_ = session;
    opens_ = 1;
    return session;
  }

  // Drops one open; the last one runs `lastClose` on the session, still
  // published and under the lock, then ends it. No request of the session
  // may follow, so `lastClose` waits for the operations in flight.
  void close(void (Session::*lastClose)() noexcept) noexcept {
    if (setupStatus_.isError()) return;
    tExclusive exclusive(*this);
    if (exclusive.reentered()) return;
    Session* session = session_;
    if (session == nullptr || --opens_ > 0) return;
    (session->*lastClose)();
    session_ = nullptr;
    session->release();
  }

  tRecursiveLock& lock() noexcept { return lock_; }
  // Under lock():
  Session* published() const noexcept { return session_; }
  void publish(Session* session) noexcept { session_ = session; }

  // The lock for an open or a close. An open or close on the thread that
  // already holds it (a signal handler that interrupted one) does not get
  // it: `reentered()` is true and the caller refuses.
  class tExclusive {
   public:
    explicit tExclusive(tSessionModule& module) noexcept : module_(module) {
      module.installForkHandlers();
      reentered_ = pthread_equal(module.holder_.load(std::memory_order_relaxed), pthread_self()) != 0;
      if (reentered_) return;
      module.lock_.lock();
      module.holder_.store(pthread_self(), std::memory_order_relaxed);
    }
    ~tExclusive() {
      if (reentered_) return;
      module_.holder_.store(pthread_t{}, std::memory_order_relaxed);
      module_.lock_.unlock();
    }
    tExclusive(const tExclusive&) = delete;
    tExclusive& operator=(const tExclusive&) = delete;
    bool reentered() const noexcept { return reentered_; }

   private:
    tSessionModule& module_;
    bool reentered_ = false;
  };

  // The open session with a reference for one operation, or an empty
  // reference with `notOpen` (-26931) in the report.
  tSessionReference<Session> current(tStatusReport& report, const kSourceLocation& notOpen) noexcept {
    if (report.code < 0 || !usable(report)) return {};
    installForkHandlers();
    std::lock_guard guard(lock_);
    if (session_ == nullptr) {
      setCode(report, kestrelerr_invalidHandle, notOpen);
      return {};
    }
    session_->acquire();
    session_->enter();
    return tSessionReference<Session>(session_);
  }

 private:
  // At the first call rather than at load, and never under the lock (a fork
  // in progress holds the C library's handler list while it takes the
  // lock). A handler installed later prepares earlier: the module lock is
  // taken before the locks of whatever the library calls, which were set up
  // when those were loaded. A fork on another thread racing the very first
  // call of the process is not covered: the C library leaves out handlers
  // installed while a fork is being prepared.
  //
  // No function-local static here: a child forked while another thread is
  // inside its initialisation would wait for that thread forever. A child
  // forked in the middle of the installation finds it begun and goes on
  // without handlers.
  void installForkHandlers() noexcept {
    if (forkModule_ != this || forkHandlers_.load(std::memory_order_acquire) != kNotInstalled) return;
    int expected = kNotInstalled;
    if (!forkHandlers_.compare_exchange_strong(expected, kInstalling, std::memory_order_acq_rel)) return;
    pthread_atfork(&beforeFork, &afterForkInParent, &afterForkInChild);
    forkHandlers_.store(kInstalled, std::memory_order_release);
  }

  static void beforeFork() noexcept {
    if (forkModule_ != nullptr && forkModule_->lock_.created()) forkModule_->lock_.lock();
  }
  static void afterForkInParent() noexcept {
    if (forkModule_ != nullptr && forkModule_->lock_.created()) forkModule_->lock_.unlock();
  }
  // The parent's session stays with the parent: its descriptors, its
  // registration and its timer are not the child's to use or to end. It is
  // kept, never used, so that the child does not count it as leaked.
  static void afterForkInChild() noexcept {
    tSessionModule* module = forkModule_;
    if (module == nullptr) return;
    module->lock_.recreateInChild(module->setupStatus_);
    module->holder_.store(pthread_t{}, std::memory_order_relaxed);
    if (module->session_ != nullptr) module->inherited_ = module->session_;
    module->session_ = nullptr;
    module->opens_ = 0;
  }

  static inline tSessionModule* forkModule_ = nullptr;
  static constexpr int kNotInstalled = 0;
  static constexpr int kInstalling = 1;
  static constexpr int kInstalled = 2;
  static inline std::atomic<int> forkHandlers_{kNotInstalled};

  tStatus setupStatus_;
  tRecursiveLock lock_;
  Session* session_ = nullptr;
  // The opens the published session has had that no close has matched.
  long opens_ = 0;
  std::atomic<pthread_t> holder_{};
  Session* inherited_ = nullptr;
};

}  // namespace nKESTREL1400
