// The "hostController_hostController" device: attributes, the SMBIOS table
// with its identification text, and BIOS images received.
#pragma once

#include <string>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/receiveFirmwareImage.h"
#include "sim/models/tHostControllerFamilyModel.h"
#include "sim/models/tSmBiosSource.h"

namespace nKESTRELSIM {

class tHostControllerModel : public tHostControllerFamilyModel {
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

  const std::vector<tFirmwareImage>& receivedImages() const noexcept { return images_.images; }
  void keepLatestImages(std::size_t count) { images_.keepLatest(count); }
  // Driver status answered to the next updateFirmware requests (0 accepts).
  void setFirmwareStatus(std::int32_t status) noexcept { firmwareStatus_ = status; }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  tSmBiosSource smBios_;
  tReceivedImages images_;
  std::int32_t firmwareStatus_ = 0;
};

}  // namespace nKESTRELSIM
