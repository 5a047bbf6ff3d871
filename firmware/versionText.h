// Firmware version texts such as "1.4.0f2": major, minor and update
// numbers, a phase letter and a build number, packed so that packed values
// compare as the versions do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nKESTREL1400::nFirmware {

// Bits 31-24 major (0-255), 23-20 minor (0-15), 19-16 update (0-15),
// 15-14 phase ("d" 0, "a" 1, "b" 2, "f" 3), 13-0 build (0-16383). Numbers
// have no leading zeros; text after the build number is ignored. Anything
// else packs to 0.
std::uint32_t parseVersionText(std::string_view text) noexcept;

// The text of a packed version ("0.0.0d0" for 0).
struct tVersionText {
  char text[24];
};
tVersionText formatVersion(std::uint32_t packed) noexcept;

}  // namespace nKESTREL1400::nFirmware
