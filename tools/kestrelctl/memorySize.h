// The size of a memory module as SMBIOS stores it: a 16-bit word, with an
// extended 32-bit size for modules of 32 GB and more.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrelctl {

struct tMemorySize {
  bool installed = false;            // 0 means no module in the slot
  std::optional<std::uint64_t> kib;  // none when unknown
  std::string text;                  // "8 GB", "512 kB", "No Module Installed", "Unknown", ...
};

// `extendedMib` is the extended size field (bits 30-0, MiB), read where the
// word is 0x7FFF; without it such a module shows as "32 GB or more".
tMemorySize decodeMemorySize(std::uint16_t word, std::optional<std::uint32_t> extendedMib = std::nullopt);

}  // namespace kestrelctl
