#include "routing/wellFormedText.h"

#include <cstddef>
#include <cstring>

#include "routing/utf8Sequence.h"

namespace tarn {

std::string wellFormedText(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t left = std::strlen(text);
  std::string result;
  result.reserve(left);
  while (left > 0) {
    const std::size_t length = decodeUtf8Sequence(bytes, left).length;
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
