// An SMBIOS selector names one field of the structure table: bits 7-0 the
// offset in the structure's formatted area, bits 15-8 the structure type,
// bits 19-16 the field kind.
#pragma once

#include <cstdint>

namespace nKESTREL1400::nZESMBIOS_1_1 {

enum class cZeSmBiosFieldKind : std::uint32_t {
  kString = 0,  // the byte at the offset is a string number
  kByte = 1,
  kWord = 2,
  kDword = 3,  // passes the field check; no reader
  kQword = 4,
  kProviderItem = 15,
};

// The only provider item: the identification text delivered with the table
// (instance 0).
inline constexpr std::uint32_t kIdentificationSelector = 0xF0001;

struct cZeSmBiosSelector {
  std::uint32_t value;

  constexpr std::uint8_t offset() const noexcept { return static_cast<std::uint8_t>(value & 0xFF); }
  constexpr std::uint8_t type() const noexcept { return static_cast<std::uint8_t>((value >> 8) & 0xFF); }
  constexpr cZeSmBiosFieldKind kind() const noexcept {
    return static_cast<cZeSmBiosFieldKind>((value >> 16) & 0xF);
  }

  static constexpr cZeSmBiosSelector make(cZeSmBiosFieldKind kind, std::uint8_t type, std::uint8_t offset) noexcept {
    return {(static_cast<std::uint32_t>(kind) << 16) | (static_cast<std::uint32_t>(type) << 8) | offset};
  }
};

static_assert(cZeSmBiosSelector{0x19E04}.kind() == cZeSmBiosFieldKind::kByte);
static_assert(cZeSmBiosSelector{0x19E04}.type() == 0x9E);
static_assert(cZeSmBiosSelector::make(cZeSmBiosFieldKind::kString, 0, 5).value == 5);

}  // namespace nKESTREL1400::nZESMBIOS_1_1
