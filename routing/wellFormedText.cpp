#include "routing/wellFormedText.h"

#include <cstring>

#include "routing/utf8Sequence.h"

namespace tarn {

std::string wellFormedText(const char* text) { return wellFormedText(text, std::strlen(text)); }

std::string wellFormedText(const char* text, std::size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t left = length;
  std::string result;
  result.reserve(left);
  while (left > 0) {
    const std::size_t sequence = decodeUtf8Sequence(bytes, left).length;
    if (sequence == 0) {
      result += '?';
      ++bytes;
      --left;
      continue;
    }
    result.append(reinterpret_cast<const char*>(bytes), sequence);
    bytes += sequence;
    left -= sequence;
  }
  return result;
}

bool isWellFormedUtf8(const char* text, std::size_t length) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  while (length > 0) {
    if (bytes[0] < 0x80) {
      ++bytes;
      --length;
      continue;
    }
    const std::size_t sequence = decodeUtf8Sequence(bytes, length).length;
    if (sequence == 0) return false;
    bytes += sequence;
    length -= sequence;
  }
  return true;
}

}  // namespace tarn
