// The registry of terminal topographies. Each built-in topography registers
// itself while the library loads; a session finds its device's topography
// by the name the driver reports.
#pragma once

#include <cstdint>

#include "routing/tTerminalInfo.h"

namespace tarn {

struct tTopographyInfo {
  const char* name;
  std::uint64_t terminalCount;
  const tTerminalInfo* terminals;
};

static_assert(sizeof(tTopographyInfo) == 24);

inline constexpr std::uint32_t kMaxTopographies = 32;

// Appends the record; false (and nothing stored) when the registry is full.
bool registerTopography(const tTopographyInfo* topography) noexcept;

// The first registered record whose name equals `name` byte for byte;
// raises zeerr::Exception (-50003, "tarn_debug") when there is none.
const tTopographyInfo& findTopography(const char* name);

// Registers a topography during static initialisation.
class tTopographyRegistration {
 public:
  explicit tTopographyRegistration(const tTopographyInfo* topography) noexcept { registerTopography(topography); }
};

}  // namespace tarn
