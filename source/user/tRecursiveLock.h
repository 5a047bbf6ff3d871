// A recursive, priority-inheritance POSIX mutex created at load time. A
// failure to create it is kept as -52003 ("synchronization") in the owner's
// set-up status.
#pragma once

#include <pthread.h>

#include "platform/tStatus.h"

namespace nKESTREL1400 {

class tRecursiveLock {
 public:
  // Records -52003 in `status` when the lock cannot be created.
  explicit tRecursiveLock(tStatus& status) noexcept;
  ~tRecursiveLock();
  tRecursiveLock(const tRecursiveLock&) = delete;
  tRecursiveLock& operator=(const tRecursiveLock&) = delete;

  bool created() const noexcept { return created_; }
  void lock() noexcept { pthread_mutex_lock(&mutex_); }
  void unlock() noexcept { pthread_mutex_unlock(&mutex_); }

  // In the child of a fork, which may not unlock a priority-inheritance
  // mutex taken before the fork (the owner recorded in it is a thread of the
  // parent): the lock starts again, unlocked. A failure is kept in `status`
  // as at load time.
  void recreateInChild(tStatus& status) noexcept;

 private:
  bool create() noexcept;

  pthread_mutex_t mutex_;
  bool created_ = false;
};

}  // namespace nKESTREL1400
