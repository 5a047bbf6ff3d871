#include "routing/tSessionReader.h"

#include <new>

#include "kestrel/kestrel.h"

namespace tarn {
namespace {

constexpr nKESTREL1400::kSourceLocation kNoMemory{"TarnRoutingAdaptor", 121};

// Readers whose threads were asked to end from inside a callback; the list
// is process-wide and guarded by its own lock.
pthread_mutex_t gRetiredLock = PTHREAD_MUTEX_INITIALIZER;
tSessionReader* gRetired = nullptr;

// Unloading the library (or the process ending) joins what is still
// retired, so no thread runs library code after it is gone.
struct tRetiredReaperAtUnload {
  ~tRetiredReaperAtUnload() { tSessionReader::reapRetired(); }
} gReaperAtUnload;

}  // namespace

tSessionReader* tSessionReader::start(tHandler handler, nKESTREL1400::tStatus& status) noexcept {
  reapRetired();
  auto* session = new (std::nothrow) tSessionReader(handler, status);
  if (session == nullptr) {
    status.setCode(brioerr_memoryFull, kNoMemory);
    return nullptr;
  }
  if (status.isError()) {
    delete session;
    return nullptr;
  }
  return session;
}

void tSessionReader::release() noexcept {
  if (runsOnCallingThread()) {
    retire();
    return;
  }
  delete this;
  reapRetired();
}

bool tSessionReader::runsOnCallingThread() const noexcept {
  return pthread_equal(callbackThread_.load(), pthread_self()) != 0;
}

void tSessionReader::retire() noexcept {
  // The loop sees the wake-up once the callback has returned and ends.
  nKESTREL1400::tStatus local;
  reader_.cancel(local);
  pthread_mutex_lock(&gRetiredLock);
  nextRetired_ = gRetired;
  gRetired = this;
  pthread_mutex_unlock(&gRetiredLock);
}

void tSessionReader::reapRetired() noexcept {
  pthread_mutex_lock(&gRetiredLock);
  tSessionReader* list = gRetired;
  gRetired = nullptr;
  pthread_mutex_unlock(&gRetiredLock);
  tSessionReader* keep = nullptr;
  while (list != nullptr) {
    tSessionReader* reader = list;
    list = list->nextRetired_;
    if (reader->runsOnCallingThread()) {
      reader->nextRetired_ = keep;
      keep = reader;
      continue;
    }
    delete reader;  // joins the thread, which has ended or is ending
  }
  if (keep == nullptr) return;
  pthread_mutex_lock(&gRetiredLock);
  keep->nextRetired_ = gRetired;
  gRetired = keep;
  pthread_mutex_unlock(&gRetiredLock);
}

tSessionReader::tCallbackScope::tCallbackScope(tSessionReader* reader) noexcept : reader_(reader) {
  if (reader_ != nullptr) reader_->callbackThread_.store(pthread_self());
}

// The reader may be retired by now, but it lives until its thread has
// left the loop.
tSessionReader::tCallbackScope::~tCallbackScope() {
  if (reader_ != nullptr) reader_->callbackThread_.store(pthread_t{});
}

}  // namespace tarn
