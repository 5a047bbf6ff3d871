// The terminal attributes each getter knows, by exact name, as offsets into
// tTerminalInfo; and the reset mode words with the values the driver takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "routing/tTerminalInfo.h"

namespace tarn {

struct tTerminalAttribute {
  const char* name;
  std::size_t offset;
};

inline constexpr tTerminalAttribute kU32TerminalAttributes[] = {
    {"busLine", offsetof(tTerminalInfo, busLine)},
    {"id", offsetof(tTerminalInfo, id)},
};

inline constexpr tTerminalAttribute kBoolTerminalAttributes[] = {
    {"isExternal", offsetof(tTerminalInfo, isExternal)},
    {"isOwned", offsetof(tTerminalInfo, isOwned)},
    {"isAlias", offsetof(tTerminalInfo, isAlias)},
    {"isMaskedOut", offsetof(tTerminalInfo, isMaskedOut)},
};

inline constexpr tTerminalAttribute kStringTerminalAttributes[] = {
    {"name", offsetof(tTerminalInfo, name)},
    {"visibility", offsetof(tTerminalInfo, visibility)},
    {"busType", offsetof(tTerminalInfo, busType)},
    {"busName", offsetof(tTerminalInfo, busName)},
    {"canonicalName", offsetof(tTerminalInfo, canonicalName)},
};

struct tResetMode {
  const char* word;
  std::uint32_t value;
};

inline constexpr tResetMode kResetModes[] = {
    {"default", 0},
    {"floating", 1},
};

}  // namespace tarn
