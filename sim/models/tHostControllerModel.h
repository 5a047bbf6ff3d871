// The "hostController_hostController" device: attributes, the SMBIOS table
// with its identification text, and BIOS images received.
#pragma once

#include <string>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tFirmwareReceiver.h"
#include "sim/models/tHostControllerFamilyModel.h"
#include "sim/models/tSmBiosSource.h"

namespace nKESTRELSIM {

class tHostControllerModel : public tHostControllerFamilyModel, public tFirmwareReceiver {
 public:
  tHostControllerModel();

  std::string interfaceName() const override { return nKESTREL1400::kControllerInterface; }

  // The table getSmBiosData delivers (empty: none) and the identification
  // text delivered beside it (with its NUL).
  void setSmBios(std::string identification, std::vector<std::uint8_t> table) {
    smBios_.set(std::move(identification), std::move(table));
  }
  const std::vector<std::uint8_t>& smBiosTable() const noexcept { return smBios_.table(); }
  tSmBiosSource& smBios() noexcept { return smBios_; }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  tSmBiosSource smBios_;
};

}  // namespace nKESTRELSIM
