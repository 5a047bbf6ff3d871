#include "routing/wellFormedText.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarn {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `text` (at most `left`
// bytes), or 0 when the bytes there do not form one: no overlong forms,
// no surrogates, nothing above U+10FFFF.
std::size_t sequenceLength(const unsigned char* text, std::size_t left) {
  const unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (length > left) return 0;
  std::uint32_t point = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(text[i])) return 0;
    point = (point << 6) | (text[i] & 0x3F);
  }
  if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string wellFormedText(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t left = std::strlen(text);
  std::string result;
  result.reserve(left);
  while (left > 0) {
    const std::size_t length = sequenceLength(bytes, left);
    if (length == 0) {
      result += '?';
      ++bytes;
      --left;
      continue;
    }
    result.append(reinterpret_cast<const char*>(bytes), length);
    bytes += length;
    left -= length;
  }
  return result;
}

}  // namespace tarn
