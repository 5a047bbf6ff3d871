// Where each structure of an SMBIOS table starts, by type and instance, so
// that a lookup is an array access instead of a walk of the table. Built
// once when a table is loaded, by the same bounds-checked walk the lookups
// would make: a structure the walk never reaches (after a malformed one) is
// not in the index, and the index remembers that the walk ended early.
#pragma once

#include <cstdint>

namespace nKESTREL1400::nZESMBIOS_1_1 {

class cZeSmBiosTable;

class cZeSmBiosIndex {
 public:
  cZeSmBiosIndex() noexcept = default;
  ~cZeSmBiosIndex() { delete[] offsets_; }
  cZeSmBiosIndex(const cZeSmBiosIndex&) = delete;
  cZeSmBiosIndex& operator=(const cZeSmBiosIndex&) = delete;

  // Indexes `table` (one allocation). False when memory runs out: the
  // lookups then walk the table as before.
  bool build(const cZeSmBiosTable& table) noexcept;
  bool isBuilt() const noexcept { return built_; }

  // Offset of the instance-th structure of the type, or -1 when the walk
  // found none.
  std::int64_t find(std::uint8_t type, std::uint32_t instance) const noexcept {
    const std::uint32_t first = start_[type];
    if (instance >= start_[type + 1] - first) return -1;
    return offsets_[first + instance];
  }
  // Whether the walk met a malformed structure before the table's end.
  bool endedEarly() const noexcept { return endedEarly_; }

 private:
  // Structures of type t are offsets_[start_[t]] to offsets_[start_[t + 1] - 1].
  std::uint32_t start_[257] = {};
  std::uint32_t* offsets_ = nullptr;
  bool endedEarly_ = false;
  bool built_ = false;
};

}  // namespace nKESTREL1400::nZESMBIOS_1_1
