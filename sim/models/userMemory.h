// Access to the caller's buffers named by address fields of request
// records. In a program's own process the simulated driver copies directly;
// a driver serving other processes installs a tUserMemoryScope that reaches
// the caller's memory through its connection.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace nKESTRELSIM {

class iUserMemory {
 public:
  virtual ~iUserMemory() = default;
  // The caller's bytes; a memory that cannot deliver them may throw
  // rather than allocate what the request claims.
  virtual std::vector<std::uint8_t> read(std::uint64_t address, std::size_t size) = 0;
  virtual void write(std::uint64_t address, const void* from, std::size_t size) = 0;
};

inline iUserMemory*& currentUserMemory() noexcept {
  static thread_local iUserMemory* memory = nullptr;
  return memory;
}

// The caller's memory for the requests handled on this thread while alive.
class tUserMemoryScope {
 public:
  explicit tUserMemoryScope(iUserMemory& memory) noexcept : previous_(currentUserMemory()) {
    currentUserMemory() = &memory;
  }
  ~tUserMemoryScope() { currentUserMemory() = previous_; }
  tUserMemoryScope(const tUserMemoryScope&) = delete;
  tUserMemoryScope& operator=(const tUserMemoryScope&) = delete;

 private:
  iUserMemory* previous_;
};

inline std::vector<std::uint8_t> copyFromUser(std::uint64_t address, std::size_t size) {
  if (address == 0 || size == 0) return std::vector<std::uint8_t>(size);
  if (iUserMemory* memory = currentUserMemory()) return memory->read(address, size);
  std::vector<std::uint8_t> bytes(size);
  std::memcpy(bytes.data(), reinterpret_cast<const void*>(address), size);
  return bytes;
}

inline void copyToUser(std::uint64_t address, const void* data, std::size_t size) {
  if (address == 0 || size == 0) return;
  if (iUserMemory* memory = currentUserMemory()) {
    memory->write(address, data, size);
  } else {
    std::memcpy(reinterpret_cast<void*>(address), data, size);
  }
}

}  // namespace nKESTRELSIM
