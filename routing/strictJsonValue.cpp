#include "routing/strictJsonValue.h"

#include <cstring>
#include <string>

#include "json/jsonReader.h"

namespace tarn {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char* skipDigits(const char* p, const char* end) {
  while (p != end && isDigit(*p)) ++p;
  return p;
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)? spanning the whole token.
bool isStrictNumber(const char* p, const char* end) {
  if (p != end && *p == '-') ++p;
  if (p == end || !isDigit(*p)) return false;
  p = *p == '0' ? p + 1 : skipDigits(p, end);
  if (p != end && *p == '.') {
    const char* digits = p + 1;
    p = skipDigits(digits, end);
    if (p == digits) return false;
  }
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p != end && (*p == '+' || *p == '-')) ++p;
    const char* digits = p;
    p = skipDigits(digits, end);
    if (p == digits) return false;
  }
  return p == end;
}

bool isNumberByte(char c) { return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// The span has been validated, so outside strings a '-' or a digit starts a
// number token, and a string runs to the first unescaped quote.
bool numbersAreStrict(const char* p, const char* end) {
  while (p != end) {
    if (*p == '"') {
      for (++p; *p != '"'; ++p) {
        if (*p == '\\') ++p;
      }
      ++p;
    } else if (*p == '-' || isDigit(*p)) {
      const char* token = p;
      while (p != end && isNumberByte(*p)) ++p;
      if (!isStrictNumber(token, p)) return false;
    } else {
      ++p;
    }
  }
  return true;
}

bool onlyWhiteSpace(const char* p, const char* end) {
  for (; p != end; ++p) {
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return false;
  }
  return true;
}

}  // namespace

bool isStrictJsonValue(const char* text, std::size_t length) {
  if (text == nullptr || std::memchr(text, 0, length) != nullptr) return false;
  const std::string copy(text, length);
  const char* begin = copy.c_str();
  const char* end = begin + length;
  const char* valueEnd = jsonz_parse(begin, nullptr);
  return valueEnd != nullptr && onlyWhiteSpace(valueEnd, end) && numbersAreStrict(begin, valueEnd);
}

}  // namespace tarn
