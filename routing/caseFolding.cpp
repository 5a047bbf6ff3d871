#include "routing/caseFolding.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "routing/caseFoldingTable.h"
#include "routing/utf8Sequence.h"

namespace tarn {
namespace {

// A byte that starts no well-formed sequence stands for itself, above every
// code point, so that it only ever equals the same byte.
constexpr char32_t kLooseByte = 0x110000;

char32_t asciiFolded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char32_t>(c + ('a' - 'A')) : static_cast<char32_t>(c); }

// One well-formed sequence, or one loose byte.
tUtf8Sequence decode(const unsigned char* p, std::size_t available) {
  const tUtf8Sequence sequence = decodeUtf8Sequence(p, available);
  if (sequence.length == 0) return {kLooseByte + p[0], 1};
  return sequence;
}

}  // namespace

unsigned foldCodePoint(char32_t codePoint, char32_t out[3]) noexcept {
  if (codePoint < 0x80) {
    out[0] = asciiFolded(static_cast<char>(codePoint));
    return 1;
  }
  const auto* end = std::end(kCaseFoldingTable);
  const auto* row = std::lower_bound(std::begin(kCaseFoldingTable), end, codePoint,
                                     [](const tCaseFoldingRow& r, char32_t c) { return r.codePoint < c; });
  if (row == end || row->codePoint != codePoint) {
    out[0] = codePoint;
    return 1;
  }
  std::copy_n(row->folded, row->count, out);
  return row->count;
}

char32_t tFoldedCodePoints::next() noexcept {
  if (pendingIndex_ < pendingCount_) return pending_[pendingIndex_++];
  if (next_ == end_) return kEnd;
  const auto* p = reinterpret_cast<const unsigned char*>(next_);
  const tUtf8Sequence sequence = decode(p, static_cast<std::size_t>(end_ - next_));
  next_ += sequence.length;
  pendingCount_ = foldCodePoint(sequence.codePoint, pending_);
  pendingIndex_ = 1;
  return pending_[0];
}

tFoldedName::tFoldedName(const char* text, std::size_t length) noexcept : text_(text), length_(length) {
  std::size_t ascii = 0;
  for (; ascii < length && ascii < kCapacity && static_cast<unsigned char>(text[ascii]) < 0x80; ++ascii) {
    folded_[ascii] = asciiFolded(text[ascii]);
  }
  foldedCount_ = ascii;
  tFoldedCodePoints codePoints(text + ascii, length - ascii);
  for (char32_t c = codePoints.next(); c != tFoldedCodePoints::kEnd; c = codePoints.next()) {
    if (foldedCount_ == kCapacity) {
      overflow_ = true;
      return;
    }
    folded_[foldedCount_++] = c;
  }
}

// Byte-identical names fold alike, so the folded comparison decides alone.
bool tFoldedName::matches(const char* name) const noexcept {
  if (overflow_) return namesMatch(text_, length_, name, std::strlen(name));
  return foldedEquals(name);
}

// Terminal names are mostly ASCII and mostly differ early: ASCII bytes are
// folded in place, the rest of the name from its first other byte on.
bool tFoldedName::foldedEquals(const char* name) const noexcept {
  std::size_t i = 0;
  for (;; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c == 0) return i == foldedCount_;
    if (c >= 0x80) break;
    if (i == foldedCount_ || folded_[i] != asciiFolded(static_cast<char>(c))) return false;
  }
  tFoldedCodePoints codePoints(name + i, std::strlen(name + i));
  for (; i < foldedCount_; ++i) {
    if (codePoints.next() != folded_[i]) return false;
  }
  return codePoints.next() == tFoldedCodePoints::kEnd;
}

bool namesMatch(const char* a, std::size_t aLength, const char* b, std::size_t bLength) noexcept {
  if (aLength == bLength && std::memcmp(a, b, aLength) == 0) return true;
  tFoldedCodePoints left(a, aLength);
  tFoldedCodePoints right(b, bLength);
  for (;;) {
    const char32_t c = left.next();
    if (c != right.next()) return false;
    if (c == tFoldedCodePoints::kEnd) return true;
  }
}

}  // namespace tarn
