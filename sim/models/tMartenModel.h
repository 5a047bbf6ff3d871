// The companion chip ("hostController_hostMarten"): attributes (its
// firmware version, its record of the BIOS version) and images received.
#pragma once

#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tFirmwareReceiver.h"
#include "sim/models/tHostControllerFamilyModel.h"

namespace nKESTRELSIM {

class tMartenModel : public tHostControllerFamilyModel, public tFirmwareReceiver {
 public:
  tMartenModel();

  std::string interfaceName() const override { return nKESTREL1400::kCompanionInterface; }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;
};

}  // namespace nKESTRELSIM
