// Non-allocating JSON reader.
//
// The reader works directly on NUL-terminated JSON text. Positions are
// pointers into that text; each value found is described by a jsonz_value
// that points into the text as well. Nothing is allocated and no text is
// copied. White space is exactly space, tab, carriage return and line feed.
//
// Grammar notes:
// - Numbers are read leniently: an optional '-', any digits (also none,
//   leading zeros allowed), an optional '.' with any digits, an optional
//   exponent letter followed by '+', '-' or a digit and further digits. The
//   text must start with '-' or a digit, so "-", "1." and "-.5" are numbers.
// - "true", "false" and "null" are recognised without looking at the byte
//   that follows them.
// - Strings accept raw bytes from 0x7F up as they are (no UTF-8 check); a raw
//   byte below 0x20 or the end of the text fails with
//   jsonz_errorValueExpected at that byte.
// - Validating a container, the end of the text where a name, colon, value,
//   comma or closing bracket is expected fails with that container's error.
//   The member walk (jsonz_nextMember) answers anything but ',' or '}',
//   the end of the text included, with jsonz_errorCommaExpected.
// - Containers are validated without recursion. Arrays and objects nested
//   deeper than kJsonzMaxDepth levels fail with the container error
//   (jsonz_errorArray or jsonz_errorObject) at the opening bracket that goes
//   one level too deep.
//
// Failed operations return null. Where the caller passed a descriptor, it
// then has type jsonz_typeError, `text` at the error position and `length`
// holding the error code. No operation reads past the text's NUL.
#pragma once

#include <cstddef>
#include <cstdint>

enum jsonz_type : std::int32_t {
  jsonz_typeError = 0,
  jsonz_typeNull = 1,
  jsonz_typeBool = 2,
  jsonz_typeNumber = 3,
  jsonz_typeString = 4,
  jsonz_typeArray = 5,
  jsonz_typeObject = 6,
};

enum jsonz_error : std::int32_t {
  jsonz_errorNoText = 1,
  jsonz_errorValueExpected = 2,
  jsonz_errorObject = 3,
  jsonz_errorArray = 4,
  jsonz_errorColonExpected = 5,
  jsonz_errorCommaExpected = 6,
  jsonz_errorBadEscape = 7,
  jsonz_errorTrailingComma = 8,
};

// Deepest nesting of arrays and objects that the validating operations accept.
inline constexpr int kJsonzMaxDepth = 1024;

struct jsonz_value {
  std::int32_t type;
  // Where the value starts: the first byte after the opening quote of a
  // string, the bracket of an array or object, the error position of an
  // error. A boolean keeps its truth value here instead: (const char*)1 for
  // true, null for false (see jsonz_isTrue).
  const char* text;
  // Number: characters of the number text. String: raw (still escaped)
  // bytes between the quotes. Error: the jsonz_error code. Otherwise 0.
  std::uint64_t length;
  // Number: 1 when the number text has a fraction or an exponent, else 0.
  std::uint64_t floating;
};

inline bool jsonz_isTrue(const jsonz_value& value) {
  return value.type == jsonz_typeBool && value.text != nullptr;
}

// Skips white space and validates one complete value, descending into arrays
// and objects. Returns the position right after the value.
const char* jsonz_parse(const char* text, jsonz_value* value);

// As jsonz_parse, but an array or object is recognised by its opening bracket
// only; for them the result is the position of the bracket itself.
const char* jsonz_peek(const char* text, jsonz_value* value);

// Skips white space, validates the array or object starting there and
// returns the position of its closing bracket; null for anything else or an
// invalid container.
const char* jsonz_containerEnd(const char* position);

// Member walk. `key` (may be null) receives the member name as a string
// descriptor (raw text and raw length), or the error. When the object ends,
// *more is false, `key` is left alone and the result is the position after
// the '}'. Otherwise *more is true and the result is the member's value.
const char* jsonz_firstMember(const char* position, jsonz_value* key, bool* more);
// `position` is right after the previous member's value.
const char* jsonz_nextMember(const char* position, jsonz_value* key, bool* more);

// Value position of the first member whose unescaped name equals `name`
// byte for byte; null when there is none or the object is malformed. Values
// of the members passed over are validated as by jsonz_parse.
const char* jsonz_findMember(const char* position, const char* name);

// Element walk. When the array ends, *more is false and the result is the
// position after the ']'; otherwise *more is true and the result is the
// element's position. Malformed arrays give null (no error code).
const char* jsonz_firstElement(const char* position, bool* more);
const char* jsonz_nextElement(const char* position, bool* more);
// The same, returning the element position only while there is one.
const char* jsonz_firstElement(const char* position);
const char* jsonz_nextElement(const char* position);

// Parses one value. For a string returns its raw text, raw length and the
// position after it in *next; otherwise the default, its length (0 for a null
// default) and a null *next. `length` and `next` may be null.
const char* jsonz_getString(const char* text, const char* defaultText, std::size_t* length,
                            const char** next);

// Parses one value. For a number that jsonz_toInt32 converts returns it and
// the position after it in *next; otherwise the default and a null *next.
std::int32_t jsonz_getInt(const char* text, std::int32_t defaultValue, const char** next);

// Number conversion. A number without fraction or exponent is read as by
// scanf's "%u" (unsigned) or "%i" (signed, so a leading 0 is an octal prefix:
// "010" gives 8, "09" gives 0); any other number is read as by "%lg" in the
// process's current locale (a '.' is given to it as ',' where the locale's
// decimal separator is a comma) and truncated toward zero. Fails for
// non-numbers, text that converts nothing, values outside the target type
// (including negative values for the unsigned form) and number texts longer
// than 63 characters.
bool jsonz_toUInt32(const jsonz_value& number, std::uint32_t* out);
bool jsonz_toInt32(const jsonz_value& number, std::int32_t* out);

// True when the unescaped raw text equals `name` exactly. Text with an
// invalid escape, or with an escape that decodes to 0, equals no name.
bool jsonz_keyEquals(const char* name, const char* raw, std::size_t rawLength);

// Writes the unescaped raw text and a NUL into `out` (room for rawLength + 1
// bytes; the result is never longer than the raw text). "\u" escapes are
// written in UTF-8; a surrogate pair must be a high surrogate escape followed
// directly by a low surrogate escape. Returns the position of the NUL, or
// null when an escape is invalid or decodes to 0 (the output then ends with
// a NUL where decoding stopped).
char* jsonz_unescape(const char* raw, std::size_t rawLength, char* out);
