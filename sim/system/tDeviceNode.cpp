#include "sim/system/tDeviceNode.h"

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"

namespace nKESTRELSIM {

std::unique_ptr<tDriverModel> makeModel(const std::string& interfaceName) {
  if (interfaceName == nKESTREL1400::kControllerInterface) return std::make_unique<tHostControllerModel>();
  if (interfaceName == nKESTREL1400::kCompanionInterface) return std::make_unique<tMartenModel>();
  if (interfaceName == nKESTREL1400::kWatchdogInterface) return std::make_unique<tWatchdogModel>();
  if (interfaceName == nKESTREL1400::kTriggerRouterInterface) return std::make_unique<tTriggerRouterModel>();
  return nullptr;
}

}  // namespace nKESTRELSIM
