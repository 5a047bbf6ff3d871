// Scanning primitives shared by the JSON reader operations.
#pragma once

#include "json/jsonReader.h"

namespace nKESTREL1400::nJsonReader {

// Where and why a scan failed.
struct tScanFailure {
  const char* position = nullptr;
  std::int32_t code = 0;
};

inline bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline const char* skipWhiteSpace(const char* p) {
  while (isWhiteSpace(*p)) ++p;
  return p;
}

inline std::int32_t containerError(bool isObject) {
  return isObject ? jsonz_errorObject : jsonz_errorArray;
}

inline void describeError(jsonz_value* value, const char* position, std::int32_t code) {
  if (value != nullptr) *value = jsonz_value{jsonz_typeError, position, static_cast<std::uint64_t>(code), 0};
}

inline void describeError(jsonz_value* value, const tScanFailure& failure) {
  describeError(value, failure.position, failure.code);
}

// `p` is inside a string: the position of the first byte that ends its
// plain run of characters (the closing quote, a backslash, or a byte below
// 0x20, the text's NUL among them).
const char* plainRunEnd(const char* p);

// `p` is at the opening quote. Returns the position after the closing quote.
const char* scanString(const char* p, tScanFailure& failure);

// Returns the position after the number starting at `p`, or null when no
// number starts there; `floating` tells whether it has a fraction or exponent.
const char* scanNumber(const char* p, bool& floating);

// Scans a string, number, boolean or null at `p` (no white space skipped)
// and describes it in `value` when that is not null.
const char* scanScalar(const char* p, jsonz_value* value, tScanFailure& failure);

// Validates the array or object whose opening bracket is at `p`, without
// recursion, and returns the position after its closing bracket.
const char* scanContainer(const char* p, tScanFailure& failure);

// Reads a member name at `p` (white space already skipped), white space, the
// colon and white space; returns the position of the member's value.
const char* scanMemberHead(const char* p, jsonz_value* key, tScanFailure& failure);

// Skips white space and scans one value; containers are validated when
// `deep`, otherwise only recognised by their bracket (and the result is the
// bracket's position).
const char* scanValue(const char* text, jsonz_value* value, bool deep);

}  // namespace nKESTREL1400::nJsonReader
