#include "sim/models/tMartenModel.h"

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

tMartenModel::tMartenModel() {
  attributes().setText(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, "1.2.0f3");
  attributes().setText(KESTREL_ATTR_BIOS_VERSION, "1.4.0f2");
  attributes().setText(KESTREL_ATTR_USER_TEXT, "");  // the user text, companion copy
}

bool tMartenModel::handleOwn(tDriverRequest& request, iDriverEvents& events) {
  if (request.code != nKESTREL1400::nDriverWire::kUpdateMartenFirmware) return false;
  receive(request, events, "MARTEN");
  return true;
}

}  // namespace nKESTRELSIM
