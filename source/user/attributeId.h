// The parts of a 32-bit attribute id.
#pragma once

#include <cstdint>

namespace nKESTREL1400::attributeId {

inline constexpr std::uint32_t kBaseMask = 0xF00FFF00;
inline constexpr std::uint32_t kBit27 = 0x08000000;
inline constexpr std::uint32_t kSourceMask = 0x00F00000;
inline constexpr std::uint32_t kSourceSmbios = 1;
inline constexpr std::uint32_t kSourceCompanion = 2;

constexpr std::uint32_t base(std::uint32_t id) { return id & kBaseMask; }
constexpr std::uint32_t source(std::uint32_t id) { return (id & kSourceMask) >> 20; }
constexpr std::uint32_t index(std::uint32_t id) { return id & 0xFF; }
constexpr std::uint32_t withSource(std::uint32_t id, std::uint32_t source) {
  return (id & ~kSourceMask) | (source << 20);
}

}  // namespace nKESTREL1400::attributeId
