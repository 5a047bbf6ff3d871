// What a device that takes firmware images keeps: the images it received
// and the driver status it answers to the next ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/models/receiveFirmwareImage.h"

namespace nKESTRELSIM {

class tFirmwareReceiver {
 public:
  const std::vector<tFirmwareImage>& receivedImages() const noexcept { return images_.images; }
  void keepLatestImages(std::size_t count) { images_.keepLatest(count); }
  // Driver status answered to the next updateFirmware requests (0 accepts).
  void setFirmwareStatus(std::int32_t status) noexcept { firmwareStatus_ = status; }

 protected:
  ~tFirmwareReceiver() = default;
  // Receives the image of an updateFirmware request for `target`.
  void receive(tDriverRequest& request, iDriverEvents& events, const char* target) {
    receiveFirmwareImage(request, images_, firmwareStatus_, events, target);
  }

 private:
  tReceivedImages images_;
  std::int32_t firmwareStatus_ = 0;
};

}  // namespace nKESTRELSIM
