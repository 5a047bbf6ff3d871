// Opening a proxy on the current match of a device interface search.
#pragma once

#include "platform/tDeviceInterfaceIterator.h"
#include "platform/tDeviceInterfaceProxy.h"

namespace nKESTREL1400 {

// Reads the match's device path and opens the proxy on it; each step does
// nothing when the status already holds an error.
void openInterface(const tDeviceInterfaceIterator& iterator, nBRIO000::tDeviceInterfaceProxy& proxy,
                   tStatus& status) noexcept;

}  // namespace nKESTREL1400
