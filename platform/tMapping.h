// A region of a device mapped into the process.
#pragma once

#include <cstdint>

namespace nKESTREL1400::nBRIO000 {

struct tMapping {
  void* address = nullptr;  // null when nothing is mapped
  std::uint64_t length = 0;
};

}  // namespace nKESTREL1400::nBRIO000
