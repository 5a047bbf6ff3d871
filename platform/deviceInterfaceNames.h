// The device interfaces of the controller, as the driver lists them.
#pragma once

namespace nKESTREL1400 {

inline constexpr const char* kControllerInterface = "hostController_hostController";
inline constexpr const char* kCompanionInterface = "hostController_hostMarten";
inline constexpr const char* kWatchdogInterface = "hostController_hostControllerWatchdog";
inline constexpr const char* kTriggerRouterInterface = "hostController_hostControllerTriggerRouter";

}  // namespace nKESTREL1400
