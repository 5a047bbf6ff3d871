// Requests of the "hostController_hostControllerWatchdog" interface.
#pragma once

#include "codegen/iInterfaceProxy_hostControllerBase.h"

namespace nKESTREL1400 {

class iInterfaceProxy_hostControllerWatchdog : public virtual nBRIO000::iInterfaceProxy,
                                               public virtual iInterfaceProxy_hostControllerBase {
 public:
  virtual void petWatchdog(tStatus& status) noexcept = 0;
  virtual void startWatchdogTimer(tStatus& status) noexcept = 0;
  virtual void stopWatchdogTimer(tStatus& status) noexcept = 0;
  virtual void cancelWaitForWatchdogNotification(tStatus& status) noexcept = 0;
};

}  // namespace nKESTREL1400
