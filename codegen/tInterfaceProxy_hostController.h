// Proxy of the "hostController_hostController" interface.
#pragma once

#include "codegen/iInterfaceProxy_hostController.h"
#include "platform/tDeviceInterfaceProxy.h"

namespace nKESTREL1400 {

class tInterfaceProxy_hostController : public nBRIO000::tDeviceInterfaceProxy,
                                       public iInterfaceProxy_hostController {
 public:
  void getSmBiosData(void* identAddress, std::uint32_t& identSize, void* tableAddress, std::uint32_t& tableSize,
                     tStatus& status) noexcept override;
  void updateFirmware(const void* imageAddress, std::uint32_t imageSize, tStatus& status) noexcept override;
  void getAttribute(std::uint32_t attributeId, void* valueAddress, std::uint32_t& valueSize,
                    tStatus& status) noexcept override;
  void setAttribute(std::uint32_t attributeId, const void* valueAddress, std::uint32_t valueSize,
                    tStatus& status) noexcept override;
};

}  // namespace nKESTREL1400
