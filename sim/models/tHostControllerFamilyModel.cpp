#include "sim/models/tHostControllerFamilyModel.h"

#include <cerrno>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

void tHostControllerFamilyModel::handle(tDriverRequest& request, iDriverEvents& events) {
  if (request.code == kGetAttribute) {
    getAttribute(request);
  } else if (request.code == kSetAttribute) {
    setAttribute(request, events);
  } else if (!handleOwn(request, events)) {
    request.error = ENOTTY;
  }
}

// Answers the value's size also when it does not fit (-26930) and the size
// 0 with -26934 for an id the device does not know.
void tHostControllerFamilyModel::getAttribute(tDriverRequest& request) {
  tAttributeInput input{};
  if (!request.readInput(input)) return;
  tValueOutput output{0, kestrelerr_attributeNotSupported};
  if (const auto value = attributes_.bytes(input.attributeId)) {
    output.value = static_cast<std::uint32_t>(value->size());
    if (value->size() > input.valueSize) {
      output.status = kestrelerr_bufferTooSmall;
    } else {
      copyToUser(input.valueAddress, value->data(), value->size());
      output.status = 0;
    }
  }
  request.writeOutput(output);
}

void tHostControllerFamilyModel::setAttribute(tDriverRequest& request, iDriverEvents& events) {
  tAttributeInput input{};
  if (!request.readInput(input)) return;
  if (input.valueSize > kMaxRecordBytes) {
    request.error = EINVAL;
    return;
  }
  tStatusOutput output{kestrelerr_attributeNotSupported};
  if (attributes_.isWritable(input.attributeId)) {
    attributes_.setBytes(input.attributeId, copyFromUser(input.valueAddress, input.valueSize));
    output.status = 0;
    attributeWritten(input.attributeId, events);
  }
  request.writeOutput(output);
}

}  // namespace nKESTRELSIM
