#include "platform/cZeSmBiosIndex.h"

#include <new>

#include "platform/cZeSmBiosTable.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {

bool cZeSmBiosIndex::build(const cZeSmBiosTable& table) noexcept {
  // First pass: how many structures of each type the walk reaches.
  std::uint32_t counts[256] = {};
  std::uint32_t total = 0;
  endedEarly_ = !table.forEachStructure([&](std::uint32_t offset) {
    ++counts[table.bytes()[offset]];
    ++total;
  });
  start_[0] = 0;
  for (int type = 0; type < 256; ++type) start_[type + 1] = start_[type] + counts[type];
  offsets_ = new (std::nothrow) std::uint32_t[total == 0 ? 1 : total];
  if (offsets_ == nullptr) return false;
  // Second pass: offsets in table order within each type.
  std::uint32_t filled[256] = {};
  table.forEachStructure([&](std::uint32_t offset) {
    const std::uint8_t type = table.bytes()[offset];
    offsets_[start_[type] + filled[type]++] = offset;
  });
  built_ = true;
  return true;
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
