#include "sim/launcher/tDescriptorLimit.h"

namespace nKESTRELSIM {

tDescriptorLimit::tDescriptorLimit() noexcept {
  if (getrlimit(RLIMIT_NOFILE, &found_) != 0 || found_.rlim_cur >= found_.rlim_max) return;
  rlimit raised = found_;
  raised.rlim_cur = found_.rlim_max;
  raised_ = setrlimit(RLIMIT_NOFILE, &raised) == 0;
}

void tDescriptorLimit::restoreInChild() const noexcept {
  if (raised_) setrlimit(RLIMIT_NOFILE, &found_);
}

}  // namespace nKESTRELSIM
