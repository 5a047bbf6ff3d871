#include "routing/utf8Sequence.h"

namespace tarn {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

tUtf8Sequence decodeUtf8Sequence(const unsigned char* p, std::size_t available) noexcept {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1};
  const unsigned length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || available < length) return {0, 0};
  char32_t codePoint = lead & (0x7F >> length);
  for (unsigned i = 1; i < length; ++i) {
    if (!isContinuation(p[i])) return {0, 0};
    codePoint = (codePoint << 6) | (p[i] & 0x3F);
  }
  const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
  const bool invalid = (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF;
  if (overlong || invalid) return {0, 0};
  return {codePoint, length};
}

}  // namespace tarn
