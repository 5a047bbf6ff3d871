#include "sim/libc/descriptorPlacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace nKESTRELSIM {

int aboveStandardStreams(int descriptor) noexcept {
  if (descriptor < 0) return descriptor;
  if (descriptor >= kFirstSimulatorDescriptor) {
    ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    return descriptor;
  }
  const int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, kFirstSimulatorDescriptor);
  const int error = errno;
  ::close(descriptor);
  errno = error;
  return moved;
}

}  // namespace nKESTRELSIM
