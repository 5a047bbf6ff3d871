// A permission the board grants in SMBIOS: a flag byte and, in the byte after
// it, a level. It is given when the flag is set and the level is 0 or 1.
#pragma once

#include <cstdint>

namespace nKESTREL1400 {

enum class tPermission : std::uint8_t { given, refused, unreadable };

// Reads the permission whose flag byte is `flagSelector` in instance 0.
tPermission readSmBiosPermission(std::uint32_t flagSelector) noexcept;

}  // namespace nKESTREL1400
