#include "sim/launcher/tStandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

namespace nKESTRELSIM {

tStandardStreams::tStandardStreams() noexcept {
  for (int descriptor = 0; descriptor < static_cast<int>(placeholder_.size()); ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) continue;
    // The lowest free number is this one: those below it are open.
    const int opened = open("/dev/null", O_RDWR);
    placeholder_[static_cast<std::size_t>(descriptor)] = opened == descriptor;
    if (opened != -1 && opened != descriptor) close(opened);
  }
}

void tStandardStreams::closePlaceholdersInChild() const noexcept {
  for (int descriptor = 0; descriptor < static_cast<int>(placeholder_.size()); ++descriptor) {
    if (placeholder_[static_cast<std::size_t>(descriptor)]) close(descriptor);
  }
}

}  // namespace nKESTRELSIM
