#include "json/jsonReader.h"

#include <cstring>

#include "json/jsonValueScanner.h"

using namespace nKESTREL1400::nJsonReader;

namespace {

void setMore(bool* more, bool value) {
  if (more != nullptr) *more = value;
}

const char* failMember(jsonz_value* key, const char* position, std::int32_t code) {
  describeError(key, position, code);
  return nullptr;
}

// `p` is at the first non-white byte of a member: reads its name and colon.
const char* memberHead(const char* p, jsonz_value* key, bool* more) {
  tScanFailure failure;
  const char* value = scanMemberHead(p, key, failure);
  if (value == nullptr) return failMember(key, failure.position, failure.code);
  setMore(more, true);
  return value;
}

// Where an element walk goes on after the opening bracket or a comma: the
// element's position, or the position after the closing bracket.
const char* elementOrEnd(const char* p, bool* more) {
  p = skipWhiteSpace(p);
  if (*p == ']') {
    setMore(more, false);
    return p + 1;
  }
  if (*p == 0) return nullptr;
  setMore(more, true);
  return p;
}

const char* onlyWhileMore(const char* position, bool more) { return more ? position : nullptr; }

}  // namespace

const char* jsonz_parse(const char* text, jsonz_value* value) { return scanValue(text, value, true); }

const char* jsonz_peek(const char* text, jsonz_value* value) { return scanValue(text, value, false); }

const char* jsonz_containerEnd(const char* position) {
  if (position == nullptr) return nullptr;
  const char* p = skipWhiteSpace(position);
  if (*p != '{' && *p != '[') return nullptr;
  tScanFailure failure;
  const char* end = scanContainer(p, failure);
  return end == nullptr ? nullptr : end - 1;
}

const char* jsonz_firstMember(const char* position, jsonz_value* key, bool* more) {
  if (position == nullptr) return failMember(key, nullptr, jsonz_errorNoText);
  const char* p = skipWhiteSpace(position);
  if (*p != '{') return failMember(key, p, jsonz_errorObject);
  p = skipWhiteSpace(p + 1);
  if (*p == '}') {
    setMore(more, false);
    return p + 1;
  }
  return memberHead(p, key, more);
}

const char* jsonz_nextMember(const char* position, jsonz_value* key, bool* more) {
  if (position == nullptr) return failMember(key, nullptr, jsonz_errorNoText);
  const char* p = skipWhiteSpace(position);
  if (*p == '}') {
    setMore(more, false);
    return p + 1;
  }
  if (*p != ',') return failMember(key, p, jsonz_errorCommaExpected);
  p = skipWhiteSpace(p + 1);
  if (*p == '}') return failMember(key, p, jsonz_errorTrailingComma);
  return memberHead(p, key, more);
}

const char* jsonz_findMember(const char* position, const char* name) {
  if (name == nullptr) return nullptr;
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(position, &key, &more);
  while (p != nullptr && more) {
    if (jsonz_keyEquals(name, key.text, key.length)) return p;
    p = jsonz_parse(p, nullptr);
    if (p == nullptr) return nullptr;
    p = jsonz_nextMember(p, &key, &more);
  }
  return nullptr;
}

const char* jsonz_firstElement(const char* position, bool* more) {
  if (position == nullptr) return nullptr;
  const char* p = skipWhiteSpace(position);
  if (*p != '[') return nullptr;
  return elementOrEnd(p + 1, more);
}

const char* jsonz_nextElement(const char* position, bool* more) {
  if (position == nullptr) return nullptr;
  const char* p = skipWhiteSpace(position);
  if (*p == ']') {
    setMore(more, false);
    return p + 1;
  }
  if (*p != ',') return nullptr;
  p = skipWhiteSpace(p + 1);
  if (*p == ']') return nullptr;
  return elementOrEnd(p, more);
}

const char* jsonz_firstElement(const char* position) {
  bool more = false;
  const char* p = jsonz_firstElement(position, &more);
  return onlyWhileMore(p, more);
}

const char* jsonz_nextElement(const char* position) {
  bool more = false;
  const char* p = jsonz_nextElement(position, &more);
  return onlyWhileMore(p, more);
}

const char* jsonz_getString(const char* text, const char* defaultText, std::size_t* length,
                            const char** next) {
  jsonz_value value{};
  const char* end = jsonz_parse(text, &value);
  const bool isString = end != nullptr && value.type == jsonz_typeString;
  if (next != nullptr) *next = isString ? end : nullptr;
  if (isString) {
    if (length != nullptr) *length = value.length;
    return value.text;
  }
  if (length != nullptr) *length = defaultText == nullptr ? 0 : std::strlen(defaultText);
  return defaultText;
}

std::int32_t jsonz_getInt(const char* text, std::int32_t defaultValue, const char** next) {
  jsonz_value value{};
  const char* end = jsonz_parse(text, &value);
  std::int32_t converted = 0;
  const bool ok = end != nullptr && jsonz_toInt32(value, &converted);
  if (next != nullptr) *next = ok ? end : nullptr;
  return ok ? converted : defaultValue;
}
