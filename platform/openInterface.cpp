#include "platform/openInterface.h"

namespace nKESTREL1400 {

void openInterface(const tDeviceInterfaceIterator& iterator, nBRIO000::tDeviceInterfaceProxy& proxy,
                   tStatus& status) noexcept {
  tDeviceInterfacePath path{};
  iterator.getInterfacePath(path, status);
  proxy.open(path, status);
}

}  // namespace nKESTREL1400
