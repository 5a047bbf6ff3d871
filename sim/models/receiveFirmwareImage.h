// Firmware images a simulated device received through updateFirmware.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nKESTRELSIM {

using tFirmwareImage = std::vector<std::uint8_t>;

// The largest image a simulated device takes; a larger one fails the
// request with EINVAL.
inline constexpr std::uint32_t kMaxFirmwareImageBytes = 256u * 1024 * 1024;

// The images a device received, the oldest first. A driver serving a long
// run keeps only the latest few (each may be 256 MiB).
struct tReceivedImages {
  std::vector<tFirmwareImage> images;
  std::size_t kept = static_cast<std::size_t>(-1);

  void add(tFirmwareImage image);
  void keepLatest(std::size_t count);
};

// Receives one image from an updateFirmware request (tBufferInput) and
// answers the driver status `status`; an accepted image is announced to
// `events` as one for `target`.
struct tDriverRequest;
class iDriverEvents;
void receiveFirmwareImage(tDriverRequest& request, tReceivedImages& received, std::int32_t status,
                          iDriverEvents& events, const char* target);

}  // namespace nKESTRELSIM
