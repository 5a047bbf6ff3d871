#include "sim/driver/tRemoteMemory.h"

#include <algorithm>

namespace nKESTRELSIM {

void tRemoteMemory::addRegion(std::uint64_t address, const std::uint8_t* bytes, std::size_t size) {
  regions_.push_back({address, bytes, size});
}

const tRemoteMemory::tRegion* tRemoteMemory::regionHolding(std::uint64_t address, std::size_t size) const noexcept {
  for (const tRegion& region : regions_) {
    if (address >= region.address && size <= region.size && address - region.address <= region.size - size) {
      return &region;
    }
  }
  return nullptr;
}

std::vector<std::uint8_t> tRemoteMemory::read(std::uint64_t address, std::size_t size) {
  const tRegion* region = regionHolding(address, size);
  if (region == nullptr) {
    if (size > kMaxRead) throw tMemoryFault{};
    throw tMemoryNeeded{address, static_cast<std::uint32_t>(size)};
  }
  const std::uint8_t* from = region->bytes + (address - region->address);
  std::vector<std::uint8_t> bytes(from, from + size);
  overlayWrites(address, bytes);
  return bytes;
}

void tRemoteMemory::overlayWrites(std::uint64_t address, std::vector<std::uint8_t>& bytes) const {
  const std::uint64_t end = address + bytes.size();
  for (const tWrite& entry : writes_) {
    const std::uint64_t begin = std::max(address, entry.address);
    const std::uint64_t stop = std::min(end, entry.address + entry.bytes.size());
    if (begin < stop) {
      std::memcpy(bytes.data() + (begin - address), entry.bytes.data() + (begin - entry.address), stop - begin);
    }
  }
}

void tRemoteMemory::write(std::uint64_t address, const void* from, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(from);
  writes_.push_back({address, std::vector<std::uint8_t>(bytes, bytes + size)});
}

void tRemoteMemory::putWrites(tChannelMessage& message) const {
  message.put(static_cast<std::uint32_t>(writes_.size()));
  for (const tWrite& entry : writes_) {
    message.put(entry.address);
    message.putBytes(entry.bytes.data(), entry.bytes.size());
  }
}

}  // namespace nKESTRELSIM
