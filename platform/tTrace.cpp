#include "platform/tTrace.h"

#include "platform/tConsoleTraceDestination.h"

namespace nKESTREL1400::nBRIO000 {

tTrace::tTrace(iTraceDestination* destination) noexcept
    : destination_(destination),
      switches_{1, 1, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1},
      limit_(50),
      count_(0),
      lock_(),
      lockInitialised_(false),
      lineBuffer_{},
      writePosition_(lineBuffer_),
      atEnd_(false) {}

tTrace::~tTrace() {
  switches_[0] = 0;
  if (switches_[kLockExistsSwitch] != 0 && lockInitialised_) {
    pthread_mutex_destroy(&lock_);
    lockInitialised_ = false;
  }
  switches_[kLockExistsSwitch] = 0;
}

// Built at load in this order (destination first) and destroyed in reverse.
namespace {
tConsoleTraceDestination gConsoleDestination;
tTrace gTrace(&gConsoleDestination);
}  // namespace

tConsoleTraceDestination& consoleTraceDestination() noexcept { return gConsoleDestination; }
tTrace& processTrace() noexcept { return gTrace; }

}  // namespace nKESTREL1400::nBRIO000
