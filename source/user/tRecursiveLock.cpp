#include "source/user/tRecursiveLock.h"

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {
constexpr kSourceLocation kLockSetupFailed{"synchronization", 48};
}

tRecursiveLock::tRecursiveLock(tStatus& status) noexcept : mutex_() {
  created_ = create();
  if (!created_) status.setCode(brioerr_resourceFailure, kLockSetupFailed);
}

bool tRecursiveLock::create() noexcept {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return false;
  const bool typed = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE) == 0;
  // The protocol is a preference: a system without priority inheritance
  // still gets a working lock.
  (void)pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
  const bool created = typed && pthread_mutex_init(&mutex_, &attributes) == 0;
  pthread_mutexattr_destroy(&attributes);
  return created;
}

void tRecursiveLock::recreateInChild(tStatus& status) noexcept {
  // The memory is initialised again, not destroyed: destroying a mutex that
  // counts as locked is undefined.
  if (!created_) return;
  created_ = create();
  if (!created_) status.setCode(brioerr_resourceFailure, kLockSetupFailed);
}

tRecursiveLock::~tRecursiveLock() {
  if (created_) pthread_mutex_destroy(&mutex_);
}

}  // namespace nKESTREL1400
