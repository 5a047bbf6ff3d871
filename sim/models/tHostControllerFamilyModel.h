// Base of the three host-controller device models (controller, companion
// chip, watchdog): the attribute requests they share.
#pragma once

#include "sim/models/tAttributeStore.h"
#include "sim/models/tDriverModel.h"

namespace nKESTRELSIM {

class tHostControllerFamilyModel : public tDriverModel {
 public:
  void handle(tDriverRequest& request, iDriverEvents& events) override;

  tAttributeStore& attributes() noexcept { return attributes_; }
  const tAttributeStore& attributes() const noexcept { return attributes_; }

 protected:
  // Requests of the derived device; returns false for a code it does not know.
  virtual bool handleOwn(tDriverRequest& request, iDriverEvents& events) = 0;
  // Called after a successful attribute write.
  virtual void attributeWritten(std::uint32_t /*id*/, iDriverEvents& /*events*/) {}

 private:
  void getAttribute(tDriverRequest& request);
  void setAttribute(tDriverRequest& request, iDriverEvents& events);

  tAttributeStore attributes_;
};

}  // namespace nKESTRELSIM
