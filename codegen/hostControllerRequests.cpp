#include "codegen/hostControllerRequests.h"

#include "codegen/generatedRequest.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400 {

using namespace nDriverWire;

void getAttributeRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t attributeId, void* valueAddress,
                         std::uint32_t& valueSize, tStatus& status, const char* file, std::uint32_t line) noexcept {
  if (status.isError()) return;
  tAttributeInput input{attributeId, 0, addressOf(valueAddress), valueSize, statusIn(status)};
  tValueOutput output{};
  if (!sendRequest(proxy, kGetAttribute, input, output, status)) return;
  valueSize = output.value;
  storeDriverStatus(status, output.status, file, line);
}

void setAttributeRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t attributeId, const void* valueAddress,
                         std::uint32_t valueSize, tStatus& status, const char* file, std::uint32_t line) noexcept {
  if (status.isError()) return;
  tAttributeInput input{attributeId, 0, addressOf(valueAddress), valueSize, statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(proxy, kSetAttribute, input, output, status)) return;
  storeDriverStatus(status, output.status, file, line);
}

void updateFirmwareRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t request, const void* imageAddress,
                           std::uint32_t imageSize, tStatus& status, const char* file, std::uint32_t line) noexcept {
  if (status.isError()) return;
  tBufferInput input{addressOf(imageAddress), imageSize, statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(proxy, request, input, output, status)) return;
  storeDriverStatus(status, output.status, file, line);
}

void statusOnlyRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t request, tStatus& status, const char* file,
                       std::uint32_t line) noexcept {
  if (status.isError()) return;
  tStatusInput input{statusIn(status)};
  tStatusOutput output{};
  if (!sendRequest(proxy, request, input, output, status)) return;
  storeDriverStatus(status, output.status, file, line);
}

}  // namespace nKESTREL1400
