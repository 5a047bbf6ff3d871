// Firmware images a simulated device received through updateFirmware.
#pragma once

#include <cstdint>
#include <vector>

namespace nKESTRELSIM {

using tFirmwareImage = std::vector<std::uint8_t>;

// The largest image a simulated device takes; a larger one fails the
// request with EINVAL.
inline constexpr std::uint32_t kMaxFirmwareImageBytes = 256u * 1024 * 1024;

// Receives one image from an updateFirmware request (tBufferInput) and
// answers the driver status `status`.
struct tDriverRequest;
void receiveFirmwareImage(tDriverRequest& request, std::vector<tFirmwareImage>& images, std::int32_t status);

}  // namespace nKESTRELSIM
