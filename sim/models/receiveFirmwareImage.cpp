#include "sim/models/receiveFirmwareImage.h"

#include <utility>

#include "platform/driverWireFormat.h"
#include "sim/models/iDriverEvents.h"
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

void receiveFirmwareImage(tDriverRequest& request, tReceivedImages& received, std::int32_t status,
                          iDriverEvents& events, const char* target) {
  nKESTREL1400::nDriverWire::tBufferInput input{};
  if (!request.readInput(input)) return;
  if (input.size > kMaxFirmwareImageBytes) {
    request.error = 22;  // EINVAL: larger than any image the device holds
    return;
  }
  if (status >= 0) {
    tFirmwareImage image = copyFromUser(input.address, input.size);
    events.imageReceived(target, image);
    received.add(std::move(image));
  }
  request.writeOutput(nKESTREL1400::nDriverWire::tStatusOutput{status});
}

}  // namespace nKESTRELSIM
