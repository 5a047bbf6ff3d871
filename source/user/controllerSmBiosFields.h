// The controller's SMBIOS fields that more than one reader uses. A selector
// holds the field's kind in bits 16-19 (0 text, 1 byte, 2 word, 4 quad word),
// the structure type in bits 8-15 and the offset in bits 0-7.
#pragma once

#include <cstdint>

namespace nKESTREL1400::nControllerField {

inline constexpr std::uint32_t kInfoVersionMajor = 0x19604;     // type 150, byte at 04h
inline constexpr std::uint32_t kInfoVersionMinor = 0x19605;     // type 150, byte at 05h
inline constexpr std::uint32_t kModelByte = 0x1960C;            // type 150, byte at 0Ch
inline constexpr std::uint32_t kModelText = 0x9704;             // type 151, text at 04h
inline constexpr std::uint32_t kSlotCount = 0x19804;            // type 152, byte at 04h
inline constexpr std::uint32_t kTextWritePermission = 0x19D04;  // type 157, byte at 04h, level at 05h
inline constexpr std::uint32_t kUpdatePermission = 0x19E04;     // type 158, byte at 04h, level at 05h
inline constexpr std::uint32_t kChassisByte = 0x19F04;          // type 159, byte at 04h
inline constexpr std::uint32_t kTriggerEntryCount = 0x1A306;    // type 163, byte at 06h
inline constexpr std::uint32_t kBusInfo = 0x1B406;              // type 180, byte at 06h
inline constexpr std::uint32_t kMemoryDeviceCount = 0x2100D;    // type 16, word at 0Dh
inline constexpr std::uint32_t kMemoryDeviceSize = 0x2110C;     // type 17, word at 0Ch

}  // namespace nKESTREL1400::nControllerField
