// One well-formed UTF-8 sequence: no overlong forms, no surrogates, nothing
// above U+10FFFF.
#pragma once

#include <cstddef>

namespace tarn {

struct tUtf8Sequence {
  char32_t codePoint;
  unsigned length;  // 0 when the bytes there form no well-formed sequence
};

// The sequence at `p`, which has `available` bytes (at least one).
tUtf8Sequence decodeUtf8Sequence(const unsigned char* p, std::size_t available) noexcept;

}  // namespace tarn
