#include "sim/system/tDeviceNode.h"

#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"

namespace nKESTRELSIM {

std::unique_ptr<tDriverModel> makeModel(const std::string& interfaceName) {
  if (interfaceName == "hostController_hostController") return std::make_unique<tHostControllerModel>();
  if (interfaceName == "hostController_hostMarten") return std::make_unique<tMartenModel>();
  if (interfaceName == "hostController_hostControllerWatchdog") return std::make_unique<tWatchdogModel>();
  if (interfaceName == "hostController_hostControllerTriggerRouter") return std::make_unique<tTriggerRouterModel>();
  return nullptr;
}

}  // namespace nKESTRELSIM
