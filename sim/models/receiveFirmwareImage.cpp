#include "receiveFirmwareImage.h"

#include "platform/driverWireFormat.h"
#include "tDriverRequest.h"
#include "userMemory.h"

namespace nKESTRELSIM {

void receiveFirmwareImage(tDriverRequest& request, std::vector<tFirmwareImage>& images, std::int32_t status) {
  nKESTREL1400::nDriverWire::tBufferInput input{};
  if (!request.readInput(input)) return;
  if (input.size > kMaxFirmwareImageBytes) {
    request.error = 22;  // EINVAL: larger than any image the device holds
    return;
  }
  if (status >= 0) images.push_back(copyFromUser(input.address, input.size));
  request.writeOutput(nKESTREL1400::nDriverWire::tStatusOutput{status});
}

}  // namespace nKESTRELSIM
