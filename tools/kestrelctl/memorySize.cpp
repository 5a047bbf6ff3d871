#include "tools/kestrelctl/memorySize.h"

namespace kestrelctl {
namespace {

constexpr std::uint16_t kNotInstalled = 0;
constexpr std::uint16_t kUnknown = 0xFFFF;
constexpr std::uint16_t kUseExtended = 0x7FFF;
constexpr std::uint16_t kKilobyteUnits = 0x8000;

// The largest unit that divides the size, as tools that decode SMBIOS print it.
std::string sizeText(std::uint64_t kib) {
  static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB"};
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && kib != 0 && kib % 1024 == 0) {
    kib /= 1024;
    ++unit;
  }
  return std::to_string(kib) + " " + kUnits[unit];
}

}  // namespace

tMemorySize decodeMemorySize(std::uint16_t word, std::optional<std::uint32_t> extendedMib) {
  if (word == kNotInstalled) return {false, std::nullopt, "No Module Installed"};
  if (word == kUnknown) return {true, std::nullopt, "Unknown"};
  if (word == kUseExtended) {
    if (!extendedMib) return {true, std::nullopt, "32 GB or more (extended size)"};
    const std::uint64_t kib = std::uint64_t{*extendedMib & 0x7FFFFFFFu} * 1024;
    return {true, kib, sizeText(kib)};
  }
  const std::uint64_t kib = (word & kKilobyteUnits) != 0 ? (word & 0x7FFFu) : std::uint64_t{word} * 1024;
  return {true, kib, sizeText(kib)};
}

}  // namespace kestrelctl
