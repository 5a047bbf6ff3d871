#include "json/jsonValueScanner.h"

#include <array>

namespace nKESTREL1400::nJsonReader {
namespace {

const char* fail(tScanFailure& failure, const char* position, std::int32_t code) {
  failure = tScanFailure{position, code};
  return nullptr;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes that end the plain run of a string: the quote, the backslash and
// every byte below 0x20 (the text's NUL among them).
constexpr std::array<bool, 256> kStringStops = [] {
  std::array<bool, 256> stops{};
  for (int c = 0; c < 0x20; ++c) stops[c] = true;
  stops['"'] = true;
  stops['\\'] = true;
  return stops;
}();


// `p` is at the byte after a backslash; returns the position after the escape.
const char* scanEscape(const char* p, tScanFailure& failure) {
  switch (*p) {
    case '"': case '/': case '\\': case 'b': case 'f': case 'n': case 'r': case 't':
      return p + 1;
    case 'u':
      for (int i = 1; i <= 4; ++i) {
        if (!isHexDigit(p[i])) return fail(failure, p + i, jsonz_errorBadEscape);
      }
      return p + 5;
    default:
      return fail(failure, p, jsonz_errorBadEscape);
  }
}

// Compares the literal with the text, stopping at the first difference so
// that the text's NUL is never passed.
const char* scanLiteral(const char* p, const char* literal) {
  while (*literal != 0) {
    if (*p != *literal) return nullptr;
    ++p;
    ++literal;
  }
  return p;
}

void describe(jsonz_value* value, std::int32_t type, const char* text, std::uint64_t length,
              std::uint64_t floating) {
  if (value != nullptr) *value = jsonz_value{type, text, length, floating};
}

const char* scanLiteralValue(const char* p, jsonz_value* value, tScanFailure& failure) {
  if (const char* end = scanLiteral(p, "true")) {
    describe(value, jsonz_typeBool, reinterpret_cast<const char*>(std::uintptr_t{1}), 0, 0);
    return end;
  }
  if (const char* end = scanLiteral(p, "false")) {
    describe(value, jsonz_typeBool, nullptr, 0, 0);
    return end;
  }
  if (const char* end = scanLiteral(p, "null")) {
    describe(value, jsonz_typeNull, p, 0, 0);
    return end;
  }
  return fail(failure, p, jsonz_errorValueExpected);
}

// Kinds of the open containers, one bit per level (set for an object).
class tNesting {
 public:
  bool push(bool isObject) {
    if (depth_ == kJsonzMaxDepth) return false;
    const std::uint64_t bit = std::uint64_t{1} << (depth_ % 64);
    auto& word = levels_[static_cast<std::size_t>(depth_ / 64)];
    word = isObject ? (word | bit) : (word & ~bit);
    ++depth_;
    return true;
  }
  void pop() { --depth_; }
  bool empty() const { return depth_ == 0; }
  bool topIsObject() const {
    const int top = depth_ - 1;
    return ((levels_[static_cast<std::size_t>(top / 64)] >> (top % 64)) & 1U) != 0;
  }

 private:
  std::array<std::uint64_t, (kJsonzMaxDepth + 63) / 64> levels_{};
  int depth_ = 0;
};

char closerOf(bool isObject) { return isObject ? '}' : ']'; }

// `p` is the first non-white byte of a member or element; returns the
// position of its value.
const char* scanItemStart(const char* p, bool isObject, tScanFailure& failure) {
  return isObject ? scanMemberHead(p, nullptr, failure) : p;
}

// `p` is right after a value inside the innermost open container. Closes
// containers as their brackets come; returns the position of the next value,
// or the position after the outermost container when it closes (`done`).
const char* scanAfterValue(const char* p, tNesting& nesting, bool& done, tScanFailure& failure) {
  for (;;) {
    p = skipWhiteSpace(p);
    const bool isObject = nesting.topIsObject();
    const char closer = closerOf(isObject);
    if (*p == ',') {
      p = skipWhiteSpace(p + 1);
      if (*p == closer) return fail(failure, p, jsonz_errorTrailingComma);
      return scanItemStart(p, isObject, failure);
    }
    if (*p != closer) {
      return fail(failure, p, *p == 0 ? containerError(isObject) : jsonz_errorCommaExpected);
    }
    ++p;
    nesting.pop();
    if (nesting.empty()) {
      done = true;
      return p;
    }
  }
}

// `p` is at an opening bracket. Enters the container; returns the position of
// its first value or right after an empty container.
const char* scanOpening(const char* p, tNesting& nesting, bool& closed, tScanFailure& failure) {
  const bool isObject = *p == '{';
  if (!nesting.push(isObject)) return fail(failure, p, containerError(isObject));
  p = skipWhiteSpace(p + 1);
  if (*p == closerOf(isObject)) {
    nesting.pop();
    closed = true;
    return p + 1;
  }
  return scanItemStart(p, isObject, failure);
}

}  // namespace

const char* plainRunEnd(const char* p) {
  while (!kStringStops[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

const char* scanString(const char* p, tScanFailure& failure) {
  ++p;
  for (;;) {
    p = plainRunEnd(p);
    if (*p == '"') return p + 1;
    if (*p != '\\') return fail(failure, p, jsonz_errorValueExpected);
    p = scanEscape(p + 1, failure);
    if (p == nullptr) return nullptr;
  }
}

const char* scanNumber(const char* p, bool& floating) {
  floating = false;
  if (*p == '-') {
    ++p;
  } else if (!isDigit(*p)) {
    return nullptr;
  }
  while (isDigit(*p)) ++p;
  if (*p == '.') {
    floating = true;
    ++p;
    while (isDigit(*p)) ++p;
  }
  if (*p == 'e' || *p == 'E') {
    floating = true;
    ++p;
    if (*p != '+' && *p != '-' && !isDigit(*p)) return nullptr;
    ++p;
    while (isDigit(*p)) ++p;
  }
  return p;
}

// Tries the readers in their order (string, number, object, array, boolean,
// null) and keeps the failure with the greatest position, the earlier reader
// winning a tie. The object and array readers fail at the first byte unless it
// is their bracket, and the number, boolean and null readers report nothing,
// so for a scalar this comes down to: a string's own failure, or
// jsonz_errorValueExpected at the first byte.
const char* scanScalar(const char* p, jsonz_value* value, tScanFailure& failure) {
  if (*p == '"') {
    const char* end = scanString(p, failure);
    if (end != nullptr) describe(value, jsonz_typeString, p + 1, static_cast<std::uint64_t>(end - p - 2), 0);
    return end;
  }
  if (*p == '-' || isDigit(*p)) {
    bool floating = false;
    const char* end = scanNumber(p, floating);
    if (end == nullptr) return fail(failure, p, jsonz_errorValueExpected);
    describe(value, jsonz_typeNumber, p, static_cast<std::uint64_t>(end - p), floating ? 1 : 0);
    return end;
  }
  return scanLiteralValue(p, value, failure);
}

const char* scanContainer(const char* p, tScanFailure& failure) {
  tNesting nesting;
  for (;;) {
    bool done = false;
    if (*p == '{' || *p == '[') {
      p = scanOpening(p, nesting, done, failure);
      if (p == nullptr) return nullptr;
      if (!done) continue;
      if (nesting.empty()) return p;
    } else if (*p == 0) {
      return fail(failure, p, containerError(nesting.topIsObject()));
    } else {
      p = scanScalar(p, nullptr, failure);
      if (p == nullptr) return nullptr;
    }
    done = false;
    p = scanAfterValue(p, nesting, done, failure);
    if (p == nullptr || done) return p;
  }
}

const char* scanMemberHead(const char* p, jsonz_value* key, tScanFailure& failure) {
  if (*p == 0) return fail(failure, p, jsonz_errorObject);
  if (*p != '"') return fail(failure, p, jsonz_errorValueExpected);
  const char* end = scanString(p, failure);
  if (end == nullptr) return nullptr;
  describe(key, jsonz_typeString, p + 1, static_cast<std::uint64_t>(end - p - 2), 0);
  p = skipWhiteSpace(end);
  if (*p != ':') return fail(failure, p, *p == 0 ? jsonz_errorObject : jsonz_errorColonExpected);
  p = skipWhiteSpace(p + 1);
  if (*p == 0) return fail(failure, p, jsonz_errorObject);
  return p;
}

const char* scanValue(const char* text, jsonz_value* value, bool deep) {
  if (text == nullptr) {
    describeError(value, nullptr, jsonz_errorNoText);
    return nullptr;
  }
  const char* p = skipWhiteSpace(text);
  tScanFailure failure;
  if (*p == '{' || *p == '[') {
    const char* end = deep ? scanContainer(p, failure) : p;
    if (end == nullptr) {
      describeError(value, failure);
      return nullptr;
    }
    describe(value, *p == '{' ? jsonz_typeObject : jsonz_typeArray, p, 0, 0);
    return end;
  }
  const char* end = scanScalar(p, value, failure);
  if (end == nullptr) describeError(value, failure);
  return end;
}

}  // namespace nKESTREL1400::nJsonReader
