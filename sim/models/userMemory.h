// Access to the caller's buffers named by address fields of request
// records (the simulated driver lives in the caller's process).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace nKESTRELSIM {

inline std::vector<std::uint8_t> copyFromUser(std::uint64_t address, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  if (address != 0 && size != 0) std::memcpy(bytes.data(), reinterpret_cast<const void*>(address), size);
  return bytes;
}

inline void copyToUser(std::uint64_t address, const void* data, std::size_t size) {
  if (address != 0 && size != 0) std::memcpy(reinterpret_cast<void*>(address), data, size);
}

}  // namespace nKESTRELSIM
