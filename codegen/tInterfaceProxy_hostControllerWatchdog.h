// Proxy of the "hostController_hostControllerWatchdog" interface.
#pragma once

#include "codegen/iInterfaceProxy_hostControllerWatchdog.h"
#include "platform/tDeviceInterfaceProxy.h"

namespace nKESTREL1400 {

class tInterfaceProxy_hostControllerWatchdog : public nBRIO000::tDeviceInterfaceProxy,
                                               public iInterfaceProxy_hostControllerWatchdog {
 public:
  void petWatchdog(tStatus& status) noexcept override;
  void startWatchdogTimer(tStatus& status) noexcept override;
  void stopWatchdogTimer(tStatus& status) noexcept override;
  void cancelWaitForWatchdogNotification(tStatus& status) noexcept override;
  void getAttribute(std::uint32_t attributeId, void* valueAddress, std::uint32_t& valueSize,
                    tStatus& status) noexcept override;
  void setAttribute(std::uint32_t attributeId, const void* valueAddress, std::uint32_t valueSize,
                    tStatus& status) noexcept override;
};

}  // namespace nKESTREL1400
