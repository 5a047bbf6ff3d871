#include "firmware/versionText.h"

#include <cstdio>

namespace nKESTREL1400::nFirmware {
namespace {

struct tField {
  std::uint32_t limit;
  unsigned shift;
};
constexpr tField kMajor{255, 24};
constexpr tField kMinor{15, 20};
constexpr tField kUpdate{15, 16};
constexpr tField kBuild{16383, 0};
constexpr char kPhases[] = "dabf";
constexpr unsigned kPhaseShift = 14;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number without leading zeros within its field's range, at `at`.
bool readNumber(std::string_view text, std::size_t& at, const tField& field, std::uint32_t& packed) {
  const std::size_t first = at;
  std::uint32_t value = 0;
  while (at < text.size() && isDigit(text[at])) {
    value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
    if (value > field.limit) return false;
    ++at;
  }
  if (at == first || (text[first] == '0' && at - first > 1)) return false;
  packed |= value << field.shift;
  return true;
}

bool readChar(std::string_view text, std::size_t& at, char expected) {
  if (at >= text.size() || text[at] != expected) return false;
  ++at;
  return true;
}

bool readPhase(std::string_view text, std::size_t& at, std::uint32_t& packed) {
  for (std::uint32_t phase = 0; phase < 4; ++phase) {
    if (readChar(text, at, kPhases[phase])) {
      packed |= phase << kPhaseShift;
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint32_t parseVersionText(std::string_view text) noexcept {
  std::size_t at = 0;
  std::uint32_t packed = 0;
  const bool matches = readNumber(text, at, kMajor, packed) && readChar(text, at, '.') &&
                       readNumber(text, at, kMinor, packed) && readChar(text, at, '.') &&
                       readNumber(text, at, kUpdate, packed) && readPhase(text, at, packed) &&
                       readNumber(text, at, kBuild, packed);
  return matches ? packed : 0;
}

tVersionText formatVersion(std::uint32_t packed) noexcept {
  tVersionText result{};
  std::snprintf(result.text, sizeof result.text, "%u.%u.%u%c%u", packed >> 24, (packed >> 20) & 0xF,
                (packed >> 16) & 0xF, kPhases[(packed >> kPhaseShift) & 3], packed & 0x3FFF);
  return result;
}

}  // namespace nKESTREL1400::nFirmware
