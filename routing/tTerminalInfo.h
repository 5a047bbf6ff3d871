// One trigger terminal of a topography, as the terminal attributes read it:
// the attribute tables name fields by their offsets in this record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

struct tTerminalInfo {
  const char* name;
  std::uint32_t id;  // exchanged with the driver; unique, never 0
  bool isExternal;
  bool isOwned;
  const char* visibility;
  const char* busType;  // null when the terminal is on no bus
  std::uint32_t busLine;
  const char* busName;
  bool isAlias;
  const char* canonicalName;
  bool isMaskedOut;
};

inline constexpr std::uint32_t kNoBusLine = 0xFFFFFFFFu;

static_assert(sizeof(tTerminalInfo) == 72);
static_assert(offsetof(tTerminalInfo, name) == 0);
static_assert(offsetof(tTerminalInfo, id) == 8);
static_assert(offsetof(tTerminalInfo, isExternal) == 12);
static_assert(offsetof(tTerminalInfo, isOwned) == 13);
static_assert(offsetof(tTerminalInfo, visibility) == 16);
static_assert(offsetof(tTerminalInfo, busType) == 24);
static_assert(offsetof(tTerminalInfo, busLine) == 32);
static_assert(offsetof(tTerminalInfo, busName) == 40);
static_assert(offsetof(tTerminalInfo, isAlias) == 48);
static_assert(offsetof(tTerminalInfo, canonicalName) == 56);
static_assert(offsetof(tTerminalInfo, isMaskedOut) == 64);

}  // namespace tarn
