// Terminal names compared without regard to case: two names match when
// they are byte-identical, or when their code points are equal after full
// case folding (kCaseFoldingTable; code points outside its ranges fold to
// themselves). Bytes that are not well-formed UTF-8 stand for themselves
// and never equal a code point.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

// Writes the full folding of one code point (1 to 3 code points) into `out`
// and returns the count.
unsigned foldCodePoint(char32_t codePoint, char32_t out[3]) noexcept;

// Reads UTF-8 text code point by code point and yields the folded code
// points one at a time.
class tFoldedCodePoints {
 public:
  static constexpr char32_t kEnd = 0xFFFFFFFF;

  tFoldedCodePoints(const char* text, std::size_t length) noexcept : next_(text), end_(text + length) {}
  // The next folded code point, or kEnd.
  char32_t next() noexcept;

 private:
  const char* next_;
  const char* end_;
  char32_t pending_[3] = {};
  unsigned pendingCount_ = 0;
  unsigned pendingIndex_ = 0;
};

// The folded form of a request name, computed once and compared with many
// terminal names. A name whose folded form outgrows the inline room is
// folded again for each comparison.
class tFoldedName {
 public:
  static constexpr std::size_t kCapacity = 64;

  tFoldedName(const char* text, std::size_t length) noexcept;
  // True when `name` (NUL-terminated) is byte-identical to the request name
  // or equal to it after folding.
  bool matches(const char* name) const noexcept;

 private:
  bool foldedEquals(const char* name) const noexcept;

  const char* text_;
  std::size_t length_;
  char32_t folded_[kCapacity];
  std::size_t foldedCount_ = 0;
  bool overflow_ = false;
};

// Byte-identical, or equal after folding.
bool namesMatch(const char* a, std::size_t aLength, const char* b, std::size_t bLength) noexcept;

}  // namespace tarn
