// Requests of the "hostController_hostMarten" (companion chip) interface.
#pragma once

#include "codegen/iInterfaceProxy_hostControllerBase.h"

namespace nKESTREL1400 {

class iInterfaceProxy_hostMarten : public virtual nBRIO000::iInterfaceProxy,
                                   public virtual iInterfaceProxy_hostControllerBase {
 public:
  virtual void updateFirmware(const void* imageAddress, std::uint32_t imageSize, tStatus& status) noexcept = 0;
};

}  // namespace nKESTREL1400
