// Feeds arbitrary bytes, as NUL-terminated text in a block of exactly that
// size, to the reader's validating, walking, unescaping and converting
// operations, and traps when their results disagree with each other.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "json/jsonReader.h"

namespace {

constexpr int kWalkDepth = 6;

void check(bool condition) {
  if (!condition) std::abort();
}

void walkValue(const char* position, int depth);

// Unescapes a string (into a block of exactly raw length + 1 bytes) and
// checks that the key comparison agrees.
void exerciseString(const char* raw, std::size_t length) {
  std::unique_ptr<char[]> out(new char[length + 1]);
  char* end = jsonz_unescape(raw, length, out.get());
  if (end != nullptr) {
    check(*end == 0 && static_cast<std::size_t>(end - out.get()) <= length);
    check(jsonz_keyEquals(out.get(), raw, length));
  }
}

void exerciseNumber(const jsonz_value& number) {
  std::int32_t signedValue = 0;
  std::uint32_t unsignedValue = 0;
  const bool converted = jsonz_toInt32(number, &signedValue);
  if (jsonz_toUInt32(number, &unsignedValue) && converted && signedValue >= 0 && number.floating != 0) {
    check(static_cast<std::uint32_t>(signedValue) == unsignedValue);
  }
  check(jsonz_getInt(number.text, -7, nullptr) == (converted ? signedValue : -7));
}

// Walks the members of a valid object; the walk must end where parsing did.
void walkObject(const char* object, const char* end, int depth) {
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(object, &key, &more);
  bool first = true;
  while (p != nullptr && more) {
    exerciseString(key.text, key.length);
    if (first) {
      // The first member is what a search for its own name finds.
      std::unique_ptr<char[]> name(new char[key.length + 1]);
      if (jsonz_unescape(key.text, key.length, name.get()) != nullptr) check(jsonz_findMember(object, name.get()) == p);
      first = false;
    }
    walkValue(p, depth + 1);
    p = jsonz_parse(p, nullptr);
    check(p != nullptr);
    p = jsonz_nextMember(p, &key, &more);
  }
  check(p == end);
}

void walkArray(const char* array, const char* end, int depth) {
  bool more = false;
  const char* p = jsonz_firstElement(array, &more);
  while (p != nullptr && more) {
    walkValue(p, depth + 1);
    p = jsonz_parse(p, nullptr);
    check(p != nullptr);
    p = jsonz_nextElement(p, &more);
  }
  check(p == end);
}

// `position` holds a value that parsed as part of a valid document.
void walkValue(const char* position, int depth) {
  if (depth > kWalkDepth) return;
  jsonz_value value{};
  const char* end = jsonz_parse(position, &value);
  check(end != nullptr);
  if (value.type == jsonz_typeObject) walkObject(position, end, depth);
  if (value.type == jsonz_typeArray) walkArray(position, end, depth);
  if (value.type == jsonz_typeString) exerciseString(value.text, value.length);
  if (value.type == jsonz_typeNumber) exerciseNumber(value);
}

void checkAgainstPeekAndContainerEnd(const char* text, const char* end, const jsonz_value& value) {
  jsonz_value peeked{};
  const char* peekEnd = jsonz_peek(text, &peeked);
  const bool isContainer = end != nullptr && (value.type == jsonz_typeArray || value.type == jsonz_typeObject);
  if (end != nullptr) check(peekEnd != nullptr && peeked.type == value.type);
  const char* closing = jsonz_containerEnd(text);
  check((closing != nullptr) == isContainer);
  if (isContainer) check(closing + 1 == end && peekEnd == value.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> bytes(new char[size + 1]);
  std::memcpy(bytes.get(), data, size);
  bytes[size] = 0;
  const char* text = bytes.get();
  const std::size_t length = std::strlen(text);

  jsonz_value value{};
  const char* end = jsonz_parse(text, &value);
  if (end == nullptr) {
    check(value.type == jsonz_typeError && value.length >= jsonz_errorValueExpected &&
          value.length <= jsonz_errorTrailingComma);
    check(value.text >= text && value.text <= text + length);
  } else {
    check(end > text && end <= text + length);
    walkValue(text, 0);
  }
  checkAgainstPeekAndContainerEnd(text, end, value);
  for (const char* name : {"a", "terminal", "b\"", ""}) jsonz_findMember(text, name);
  exerciseString(text, length);
  return 0;
}
