#include "sim/models/tHostControllerModel.h"

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

// Device values the controller answers itself.
constexpr std::uint32_t kDeviceValue1 = KESTREL_ATTR_DEVICE_VALUE_1;
constexpr std::uint32_t kDeviceValue2 = KESTREL_ATTR_DEVICE_VALUE_2;
constexpr std::uint32_t kDeviceValue3 = KESTREL_ATTR_DEVICE_VALUE_3;
constexpr std::uint32_t kUserText = KESTREL_ATTR_USER_TEXT;

}  // namespace

tHostControllerModel::tHostControllerModel() {
  attributes().setU32(kDeviceValue1, 1, false);
  attributes().setU32(kDeviceValue2, 0x0140, false);
  attributes().setU32(kDeviceValue3, 3, false);
  attributes().setText(kUserText, "");
}

bool tHostControllerModel::handleOwn(tDriverRequest& request, iDriverEvents& events) {
  if (request.code == kGetSmBiosData) {
    smBios_.answer(request);
  } else if (request.code == kUpdateFirmware) {
    receive(request, events, "BIOS");
  } else {
    return false;
  }
  return true;
}

}  // namespace nKESTRELSIM
