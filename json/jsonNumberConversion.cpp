#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "json/jsonReader.h"

namespace {

// Number texts are converted from a NUL-terminated copy, so that conversion
// stops at the end of the number and never runs into the text after it
// (a "0" followed by "x1F" must not read as 31).
constexpr std::size_t kNumberBufferSize = 64;

bool copyNumberText(const jsonz_value& number, char (&buffer)[kNumberBufferSize]) {
  if (number.type != jsonz_typeNumber || number.text == nullptr) return false;
  if (number.length == 0 || number.length >= kNumberBufferSize) return false;
  std::memcpy(buffer, number.text, number.length);
  buffer[number.length] = 0;
  return true;
}

bool localeUsesDecimalComma() {
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  return probe[1] == ',';
}

// Keeps the caller's errno: the conversions set it on overflow, which the
// range checks below already catch.
class tErrnoKeeper {
 public:
  tErrnoKeeper() : saved_(errno) {}
  ~tErrnoKeeper() { errno = saved_; }
  tErrnoKeeper(const tErrnoKeeper&) = delete;
  tErrnoKeeper& operator=(const tErrnoKeeper&) = delete;

 private:
  int saved_;
};

// Integer text as scanf reads it: base 0 is "%i" (0x and 0 prefixes), base 10
// is "%u". Out-of-range text saturates, which the callers reject.
bool readInteger(const char* text, int base, long long& out) {
  char* end = nullptr;
  out = std::strtoll(text, &end, base);
  return end != text;
}

// Fraction or exponent text as scanf's "%lg" reads it in the current locale.
bool readFloating(char* text, double& out) {
  if (localeUsesDecimalComma()) {
    if (char* dot = std::strchr(text, '.')) *dot = ',';
  }
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text) return false;
  out = value;
  return true;
}

// Reads the number into the range [low, high] of the target type.
bool convert(const jsonz_value& number, int integerBase, double low, double high, long long& out) {
  char buffer[kNumberBufferSize];
  if (!copyNumberText(number, buffer)) return false;
  tErrnoKeeper keepErrno;
  if (number.floating == 0) {
    if (!readInteger(buffer, integerBase, out)) return false;
    return static_cast<double>(out) >= low && static_cast<double>(out) <= high;
  }
  double value = 0;
  if (!readFloating(buffer, value)) return false;
  // Truncated toward zero (the cast) it must lie in [low, high]; NaN fails.
  if (!(value > low - 1 && value < high + 1)) return false;
  out = static_cast<long long>(value);
  return true;
}

}  // namespace

bool jsonz_toUInt32(const jsonz_value& number, std::uint32_t* out) {
  long long value = 0;
  if (!convert(number, 10, 0.0, std::numeric_limits<std::uint32_t>::max(), value)) return false;
  if (out != nullptr) *out = static_cast<std::uint32_t>(value);
  return true;
}

bool jsonz_toInt32(const jsonz_value& number, std::int32_t* out) {
  long long value = 0;
  if (!convert(number, 0, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
               value)) {
    return false;
  }
  if (out != nullptr) *out = static_cast<std::int32_t>(value);
  return true;
}
