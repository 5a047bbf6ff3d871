#include <cstddef>
#include <cstdint>

#include "json/jsonReader.h"

namespace {

// Decodes raw (still escaped) string text one character at a time.
class tUnescaper {
 public:
  enum : int { kEnd = 0, kInvalid = -1, kZero = -2 };

  tUnescaper(const char* raw, std::size_t rawLength) : p_(raw), end_(raw == nullptr ? raw : raw + rawLength) {}

  // Writes the next character's bytes (1 to 4) into `out` and returns their
  // count, or kEnd, kInvalid, or kZero for a character that decodes to 0.
  int next(char (&out)[4]) {
    if (p_ == end_) return kEnd;
    const char c = *p_++;
    if (c == 0) return kZero;
    if (c != '\\') {
      out[0] = c;
      return 1;
    }
    if (p_ == end_) return kInvalid;
    const char letter = *p_++;
    if (letter == 'u') return unicodeEscape(out);
    const char simple = simpleEscape(letter);
    if (simple == 0) return kInvalid;
    out[0] = simple;
    return 1;
  }

 private:
  static char simpleEscape(char letter) {
    switch (letter) {
      case '"': return '"';
      case '/': return '/';
      case '\\': return '\\';
      case 'b': return '\b';
      case 'f': return '\f';
      case 'n': return '\n';
      case 'r': return '\r';
      case 't': return '\t';
      default: return 0;
    }
  }

  static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Four hexadecimal digits after "\u"; -1 when they are missing.
  long codeUnit() {
    if (end_ - p_ < 4) return -1;
    long unit = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hexValue(*p_++);
      if (digit < 0) return -1;
      unit = unit * 16 + digit;
    }
    return unit;
  }

  // A high surrogate must be followed directly by an escaped low surrogate;
  // anything else (a lone or reversed surrogate) is invalid.
  long lowSurrogateAfter(long high) {
    if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') return -1;
    p_ += 2;
    const long low = codeUnit();
    if (low < 0xDC00 || low > 0xDFFF) return -1;
    return ((high - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
  }

  int unicodeEscape(char (&out)[4]) {
    long codePoint = codeUnit();
    if (codePoint < 0) return kInvalid;
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
      codePoint = lowSurrogateAfter(codePoint);
      if (codePoint < 0) return kInvalid;
    } else if (codePoint >= 0xDC00 && codePoint <= 0xDFFF) {
      return kInvalid;
    }
    if (codePoint == 0) return kZero;
    return encodeUtf8(static_cast<std::uint32_t>(codePoint), out);
  }

  static int encodeUtf8(std::uint32_t cp, char (&out)[4]) {
    auto byte = [](std::uint32_t value) { return static_cast<char>(static_cast<unsigned char>(value)); };
    if (cp < 0x80) {
      out[0] = byte(cp);
      return 1;
    }
    if (cp < 0x800) {
      out[0] = byte(0xC0 | (cp >> 6));
      out[1] = byte(0x80 | (cp & 0x3F));
      return 2;
    }
    if (cp < 0x10000) {
      out[0] = byte(0xE0 | (cp >> 12));
      out[1] = byte(0x80 | ((cp >> 6) & 0x3F));
      out[2] = byte(0x80 | (cp & 0x3F));
      return 3;
    }
    out[0] = byte(0xF0 | (cp >> 18));
    out[1] = byte(0x80 | ((cp >> 12) & 0x3F));
    out[2] = byte(0x80 | ((cp >> 6) & 0x3F));
    out[3] = byte(0x80 | (cp & 0x3F));
    return 4;
  }

  const char* p_;
  const char* end_;
};

}  // namespace

bool jsonz_keyEquals(const char* name, const char* raw, std::size_t rawLength) {
  if (name == nullptr) return false;
  tUnescaper unescaper(raw, rawLength);
  char bytes[4];
  for (;;) {
    const int count = unescaper.next(bytes);
    if (count == tUnescaper::kEnd) return *name == 0;
    if (count < 0) return false;
    for (int i = 0; i < count; ++i) {
      if (*name++ != bytes[i]) return false;
    }
  }
}

char* jsonz_unescape(const char* raw, std::size_t rawLength, char* out) {
  if (out == nullptr) return nullptr;
  tUnescaper unescaper(raw, rawLength);
  char bytes[4];
  for (;;) {
    const int count = unescaper.next(bytes);
    if (count <= 0) {
      *out = 0;
      return count == tUnescaper::kEnd ? out : nullptr;
    }
    for (int i = 0; i < count; ++i) *out++ = bytes[i];
  }
}
