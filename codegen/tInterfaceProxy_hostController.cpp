#include "codegen/tInterfaceProxy_hostController.h"

#include "codegen/generatedRequest.h"
#include "codegen/hostControllerRequests.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tInterfaceProxy_hostController";

}  // namespace

using namespace nDriverWire;

void tInterfaceProxy_hostController::getSmBiosData(void* identAddress, std::uint32_t& identSize, void* tableAddress,
                                                   std::uint32_t& tableSize, tStatus& status) noexcept {
  if (status.isError()) return;
  tGetSmBiosDataInput input{addressOf(identAddress), identSize, 0, addressOf(tableAddress), tableSize,
                            statusIn(status)};
  tGetSmBiosDataOutput output{};
  if (!sendRequest(*this, kGetSmBiosData, input, output, status)) return;
  identSize = output.identSize;
  tableSize = output.tableSize;
  storeDriverStatus(status, output.status, kFile, 66);
}

void tInterfaceProxy_hostController::updateFirmware(const void* imageAddress, std::uint32_t imageSize,
                                                    tStatus& status) noexcept {
  updateFirmwareRequest(*this, kUpdateFirmware, imageAddress, imageSize, status, kFile, 93);
}

void tInterfaceProxy_hostController::getAttribute(std::uint32_t attributeId, void* valueAddress,
                                                  std::uint32_t& valueSize, tStatus& status) noexcept {
  getAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 122);
}

void tInterfaceProxy_hostController::setAttribute(std::uint32_t attributeId, const void* valueAddress,
                                                  std::uint32_t valueSize, tStatus& status) noexcept {
  setAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 150);
}

}  // namespace nKESTREL1400
