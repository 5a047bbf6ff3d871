#include "sim/models/tMartenModel.h"

#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

tMartenModel::tMartenModel() {
  attributes().setText(kFirmwareVersion, "1.2.0f3");
  attributes().setText(kBiosVersionRecord, "1.4.0f2");
  attributes().setText(0x18000000, "");  // the user text, companion copy
}

bool tMartenModel::handleOwn(tDriverRequest& request, iDriverEvents& events) {
  if (request.code != nKESTREL1400::nDriverWire::kUpdateMartenFirmware) return false;
  receiveFirmwareImage(request, images_, firmwareStatus_, events, "MARTEN");
  return true;
}

}  // namespace nKESTRELSIM
