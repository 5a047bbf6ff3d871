#include "sim/recorder/ownMemory.h"

#include <cstring>

namespace nKESTRELSIM {

std::optional<std::vector<std::uint8_t>> readOwnMemory(std::uint64_t address, std::size_t size) {
  if (address == 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(size);
  if (size != 0) std::memcpy(bytes.data(), reinterpret_cast<const void*>(address), size);
  return bytes;
}

}  // namespace nKESTRELSIM
