// The "hostController_hostController" device: attributes, the SMBIOS table
// with its identification text, and BIOS images received.
#pragma once

#include <string>
#include <vector>

#include "tHostControllerFamilyModel.h"
#include "tReceivedImages.h"

namespace nKESTRELSIM {

class tHostControllerModel : public tHostControllerFamilyModel {
 public:
  tHostControllerModel();

  std::string interfaceName() const override { return "hostController_hostController"; }

  // The table getSmBiosData delivers (empty: none) and the identification
  // text delivered beside it (with its NUL).
  void setSmBios(std::string identification, std::vector<std::uint8_t> table);
  const std::vector<std::uint8_t>& smBiosTable() const noexcept { return table_; }
  const std::string& smBiosIdentification() const noexcept { return identification_; }

  const std::vector<tFirmwareImage>& receivedImages() const noexcept { return images_; }
  // Driver status answered to the next updateFirmware requests (0 accepts).
  void setFirmwareStatus(std::int32_t status) noexcept { firmwareStatus_ = status; }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  void getSmBiosData(tDriverRequest& request);

  std::string identification_;
  std::vector<std::uint8_t> table_;
  std::vector<tFirmwareImage> images_;
  std::int32_t firmwareStatus_ = 0;
};

}  // namespace nKESTRELSIM
