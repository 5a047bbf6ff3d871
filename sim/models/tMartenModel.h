// The companion chip ("hostController_hostMarten"): attributes (its
// firmware version, its record of the BIOS version) and images received.
#pragma once

#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/receiveFirmwareImage.h"
#include "sim/models/tHostControllerFamilyModel.h"

namespace nKESTRELSIM {

class tMartenModel : public tHostControllerFamilyModel {
 public:
  tMartenModel();

  std::string interfaceName() const override { return nKESTREL1400::kCompanionInterface; }

  const std::vector<tFirmwareImage>& receivedImages() const noexcept { return images_.images; }
  void keepLatestImages(std::size_t count) { images_.keepLatest(count); }
  void setFirmwareStatus(std::int32_t status) noexcept { firmwareStatus_ = status; }

 protected:
  bool handleOwn(tDriverRequest& request, iDriverEvents& events) override;

 private:
  tReceivedImages images_;
  std::int32_t firmwareStatus_ = 0;
};

}  // namespace nKESTRELSIM
