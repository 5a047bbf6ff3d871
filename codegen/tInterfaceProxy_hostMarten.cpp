#include "codegen/tInterfaceProxy_hostMarten.h"

#include "codegen/hostControllerRequests.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tInterfaceProxy_hostMarten";

}  // namespace

void tInterfaceProxy_hostMarten::updateFirmware(const void* imageAddress, std::uint32_t imageSize,
                                                tStatus& status) noexcept {
  updateFirmwareRequest(*this, nDriverWire::kUpdateMartenFirmware, imageAddress, imageSize, status, kFile, 62);
}

void tInterfaceProxy_hostMarten::getAttribute(std::uint32_t attributeId, void* valueAddress,
                                              std::uint32_t& valueSize, tStatus& status) noexcept {
  getAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 91);
}

void tInterfaceProxy_hostMarten::setAttribute(std::uint32_t attributeId, const void* valueAddress,
                                              std::uint32_t valueSize, tStatus& status) noexcept {
  setAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 119);
}

}  // namespace nKESTREL1400
