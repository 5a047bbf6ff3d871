// Attribute requests common to the three host-controller interfaces.
#pragma once

#include <cstdint>

#include "platform/iInterfaceProxy.h"

namespace nKESTREL1400 {

class iInterfaceProxy_hostControllerBase : public virtual nBRIO000::iInterfaceProxy {
 public:
  // The driver writes up to valueSize bytes at valueAddress and answers the
  // value's size, also together with an error.
  virtual void getAttribute(std::uint32_t attributeId, void* valueAddress, std::uint32_t& valueSize,
                            tStatus& status) noexcept = 0;
  virtual void setAttribute(std::uint32_t attributeId, const void* valueAddress, std::uint32_t valueSize,
                            tStatus& status) noexcept = 0;
};

}  // namespace nKESTREL1400
