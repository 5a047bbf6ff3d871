// Proxy of the "hostController_hostMarten" (companion chip) interface.
#pragma once

#include "codegen/iInterfaceProxy_hostMarten.h"
#include "platform/tDeviceInterfaceProxy.h"

namespace nKESTREL1400 {

class tInterfaceProxy_hostMarten : public nBRIO000::tDeviceInterfaceProxy, public iInterfaceProxy_hostMarten {
 public:
  void updateFirmware(const void* imageAddress, std::uint32_t imageSize, tStatus& status) noexcept override;
  void getAttribute(std::uint32_t attributeId, void* valueAddress, std::uint32_t& valueSize,
                    tStatus& status) noexcept override;
  void setAttribute(std::uint32_t attributeId, const void* valueAddress, std::uint32_t valueSize,
                    tStatus& status) noexcept override;
};

}  // namespace nKESTREL1400
