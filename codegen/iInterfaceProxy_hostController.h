// Requests of the "hostController_hostController" interface.
#pragma once

#include "codegen/iInterfaceProxy_hostControllerBase.h"

namespace nKESTREL1400 {

class iInterfaceProxy_hostController : public virtual nBRIO000::iInterfaceProxy,
                                       public virtual iInterfaceProxy_hostControllerBase {
 public:
  // Null addresses and zero sizes ask for the two sizes only.
  virtual void getSmBiosData(void* identAddress, std::uint32_t& identSize, void* tableAddress,
                             std::uint32_t& tableSize, tStatus& status) noexcept = 0;
  virtual void updateFirmware(const void* imageAddress, std::uint32_t imageSize, tStatus& status) noexcept = 0;
};

}  // namespace nKESTREL1400
