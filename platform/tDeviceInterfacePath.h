// The device node path of one device interface, as its interfacePath file
// gives it.
#pragma once

#include <cstdint>

namespace nKESTREL1400 {

// Largest interfacePath content accepted, so that it and its NUL fit `path`.
inline constexpr std::uint64_t kMaxInterfaceFileSize = 255;

struct tDeviceInterfacePath {
  char path[kMaxInterfaceFileSize + 1];
  std::uint64_t length;  // bytes in `path` including the NUL
};

}  // namespace nKESTREL1400
