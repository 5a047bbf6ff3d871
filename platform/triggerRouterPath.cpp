#include "platform/triggerRouterPath.h"

#include <cerrno>
#include <cstring>

#include "kestrel/kestrel.h"
#include "platform/tDeviceInterfaceIterator.h"

namespace nKESTREL1400 {

std::int32_t getTriggerRouterPath(char* buffer, std::uint64_t& length) noexcept {
  tStatus status;
  tDeviceInterfaceIterator iterator(kTriggerRouterInterface, status);
  if (status.isError() || iterator.isEnd()) return kestrelerr_deviceNotAvailable;
  tDeviceInterfacePath path{};
  iterator.getInterfacePath(path, status);
  if (status.isError()) return status.getCode();
  const std::uint64_t needed = path.length;  // the path and its NUL
  if (length < needed) {
    length = needed;
    return kestrelerr_bufferTooSmall;
  }
  if (buffer != nullptr) {
    std::memcpy(buffer, path.path, needed);
    errno = 0;
  } else {
    errno = EINVAL;
  }
  return status.getCode();
}

}  // namespace nKESTREL1400
