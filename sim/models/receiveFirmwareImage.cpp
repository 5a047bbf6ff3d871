#include "sim/models/receiveFirmwareImage.h"

#include <utility>

#include "platform/driverWireFormat.h"
#include "sim/models/tDriverRequest.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

void tReceivedImages::add(tFirmwareImage image) {
  images.push_back(std::move(image));
  keepLatest(kept);
}

void tReceivedImages::keepLatest(std::size_t count) {
  kept = count;
  if (images.size() > count) images.erase(images.begin(), images.end() - static_cast<std::ptrdiff_t>(count));
}

void receiveFirmwareImage(tDriverRequest& request, tReceivedImages& received, std::int32_t status) {
  nKESTREL1400::nDriverWire::tBufferInput input{};
  if (!request.readInput(input)) return;
  if (input.size > kMaxFirmwareImageBytes) {
    request.error = 22;  // EINVAL: larger than any image the device holds
    return;
  }
  if (status >= 0) received.add(copyFromUser(input.address, input.size));
  request.writeOutput(nKESTREL1400::nDriverWire::tStatusOutput{status});
}

}  // namespace nKESTRELSIM
