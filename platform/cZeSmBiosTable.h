// A read-only view of an SMBIOS structure table with the bounds-checked walk
// the provider's lookups use. It never reads outside [bytes, bytes + length)
// and every step moves forward, so malformed tables end the walk with a code.
#pragma once

#include <cstdint>

#include "platform/cZeSmBiosIndex.h"
#include "platform/cZeSmBiosSelector.h"
#include "platform/tStatus.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {

class cZeSmBiosTable {
 public:
  // Longest string a string-set may hold, without its NUL.
  static constexpr std::uint32_t kMaxStringLength = 128;
  // Size of a structure header: type, length, handle.
  static constexpr std::uint32_t kHeaderLength = 4;

  // With an index built for the same bytes, structures are found by look-up.
  constexpr cZeSmBiosTable(const std::uint8_t* bytes, std::uint32_t length,
                           const cZeSmBiosIndex* index = nullptr) noexcept
      : bytes_(bytes), length_(length), index_(index != nullptr && index->isBuilt() ? index : nullptr) {}

  const std::uint8_t* bytes() const noexcept { return bytes_; }
  std::uint32_t length() const noexcept { return length_; }

  // First byte of the instance-th structure (0-based, table order) of the
  // type; null with -240052 when there is none, -240053 when the walk meets
  // a structure that does not fit the table or whose length is below the
  // header's.
  const std::uint8_t* findStructure(std::uint8_t type, std::uint32_t instance, tStatus& status) const noexcept;

  // Calls visit(offset) for each structure in table order that has a whole
  // header; false when the walk met a structure whose header does not fit
  // the table or whose length is below the header's, or could not step past
  // a structure (after visiting it).
  template <typename Visit>
  bool forEachStructure(Visit visit) const noexcept {
    std::uint64_t position = 0;
    while (position < length_) {
      if (length_ - position < kHeaderLength || bytes_[position + 1] < kHeaderLength) return false;
      visit(static_cast<std::uint32_t>(position));
      position = structureEnd(position);
      if (position == 0) return false;
    }
    return true;
  }

  // Checks that the selector's field lies inside the structure's formatted
  // area and returns the field's end (offset plus width), or 0 with -240053
  // (structure outside the table, unknown kind) or -240052 (field beyond the
  // structure's length).
  std::uint32_t checkField(const std::uint8_t* structure, cZeSmBiosSelector selector, tStatus& status) const noexcept;

  // String `number` (1-based, not 0) of the structure's string-set: its
  // first character, with its length in `textLength`; null with -240053 when
  // the set ends first, runs past the table, or the string is longer than
  // kMaxStringLength.
  const char* findString(const std::uint8_t* structure, std::uint8_t number, std::uint32_t& textLength,
                         tStatus& status) const noexcept;

 private:
  // Where the structure at `position`, whose header fits, ends (after its
  // string-set's two zero bytes), or 0 when it does not fit the table.
  std::uint64_t structureEnd(std::uint64_t position) const noexcept;
  const std::uint8_t* walkToStructure(std::uint8_t type, std::uint32_t instance, tStatus& status) const noexcept;

  const std::uint8_t* bytes_;
  std::uint32_t length_;
  const cZeSmBiosIndex* index_;
};

}  // namespace nKESTREL1400::nZESMBIOS_1_1
