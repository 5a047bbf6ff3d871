#include "json/jsonWriter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Two-character escape letter for a byte, or 0 when the byte has none.
char shortEscape(unsigned char c) {
  switch (c) {
    case '"': return '"';
    case '\\': return '\\';
    case 0x08: return 'b';
    case 0x09: return 't';
    case 0x0A: return 'n';
    case 0x0C: return 'f';
    case 0x0D: return 'r';
    default: return 0;
  }
}

bool needsUnicodeEscape(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::size_t escapedLength(const char* text) {
  std::size_t length = 0;
  for (auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (shortEscape(*p) != 0) {
      length += 2;
    } else if (needsUnicodeEscape(*p)) {
      length += 6;
    } else {
      length += 1;
    }
  }
  return length;
}

char* writeEscaped(char* out, const char* text) {
  static const char kHex[] = "0123456789abcdef";
  for (auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (const char letter = shortEscape(*p); letter != 0) {
      *out++ = '\\';
      *out++ = letter;
    } else if (needsUnicodeEscape(*p)) {
      *out++ = '\\';
      *out++ = 'u';
      *out++ = '0';
      *out++ = '0';
      *out++ = kHex[*p >> 4];
      *out++ = kHex[*p & 0x0F];
    } else {
      *out++ = static_cast<char>(*p);
    }
  }
  return out;
}

std::size_t keyCost(const char* key) { return key == nullptr ? 0 : escapedLength(key) + 3; }

char* writeKey(char* out, const char* key) {
  if (key == nullptr) return out;
  *out++ = '"';
  out = writeEscaped(out, key);
  *out++ = '"';
  *out++ = ':';
  return out;
}

enum class Comma { none, before, after };

Comma commaFor(const char* position) {
  const char c = *position;
  if (c == '}' || c == ']') {
    const char opening = c == '}' ? '{' : '[';
    const char* p = position - 1;
    while (isWhiteSpace(*p)) --p;
    return *p == opening ? Comma::none : Comma::before;
  }
  if (c == '{' || c == '[') {
    const char closing = c == '{' ? '}' : ']';
    const char* p = position + 1;
    while (isWhiteSpace(*p)) ++p;
    return *p == closing ? Comma::none : Comma::after;
  }
  return c == '\0' ? Comma::none : Comma::before;
}

// Opens a gap of `count` bytes (plus a comma where one is needed) at the
// insertion position and returns where the new text goes, or null when the
// free room before the sentinel is too small.
char* makeRoom(char* position, std::size_t count) {
  const Comma comma = commaFor(position);
  char* insertAt = (*position == '{' || *position == '[') ? position + 1 : position;
  const std::size_t needed = count + (comma == Comma::none ? 0 : 1);

  char* nul = insertAt + std::strlen(insertAt);
  // Zero bytes run from the NUL to the sentinel: the room suffices when the
  // first `needed` of them are zero, so only those are looked at.
  std::size_t room = 0;
  for (const char* p = nul + 1; room < needed && *p == '\0'; ++p) ++room;
  if (room < needed) return nullptr;

  std::memmove(insertAt + needed, insertAt, static_cast<std::size_t>(nul - insertAt) + 1);
  switch (comma) {
    case Comma::before:
      *insertAt = ',';
      return insertAt + 1;
    case Comma::after:
      insertAt[needed - 1] = ',';
      return insertAt;
    case Comma::none:
      break;
  }
  return insertAt;
}

// Inserts key and a ready value text of `valueLength` bytes produced by
// `writeValue(out)`.
template <typename WriteValue>
char* insert(char* position, const char* key, std::size_t valueLength, WriteValue writeValue) {
  if (position == nullptr) return nullptr;
  char* out = makeRoom(position, keyCost(key) + valueLength);
  if (out == nullptr) return nullptr;
  out = writeKey(out, key);
  return writeValue(out);
}

char* insertLiteral(char* position, const char* key, const char* literal) {
  const std::size_t length = std::strlen(literal);
  return insert(position, key, length, [&](char* out) {
    std::memcpy(out, literal, length);
    return out + length;
  });
}

template <typename Insert>
char* withGrowth(char* position, const jsonz_growHandler& handler, Insert tryInsert) {
  while (position != nullptr) {
    if (char* result = tryInsert(position)) return result;
    if (handler.callback == nullptr) return nullptr;
    position = handler.callback(position, handler.userData);
  }
  return nullptr;
}

}  // namespace

std::size_t jsonz_escapedLength(const char* text) { return escapedLength(text); }

char* jsonz_initBuffer(char* buffer, std::size_t size, const char* text) {
  if (buffer == nullptr) return nullptr;
  const std::size_t length = std::strlen(text != nullptr ? text : buffer);
  if (length + 1 >= size) return nullptr;
  if (text != nullptr) std::memmove(buffer, text, length);
  std::memset(buffer + length, 0, size - 1 - length);
  buffer[size - 1] = kJsonzSentinel;
  return length == 0 ? buffer : buffer + length - 1;
}

char* jsonz_addObject(char* position, const char* key) { return insertLiteral(position, key, "{}"); }

char* jsonz_addString(char* position, const char* key, const char* value) {
  return insert(position, key, escapedLength(value) + 2, [&](char* out) {
    *out++ = '"';
    out = writeEscaped(out, value);
    *out++ = '"';
    return out;
  });
}

char* jsonz_addBool(char* position, const char* key, bool value) {
  return insertLiteral(position, key, value ? "true" : "false");
}

char* jsonz_addUInt32(char* position, const char* key, std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  return insertLiteral(position, key, text);
}

char* jsonz_addUInt64(char* position, const char* key, std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return insertLiteral(position, key, text);
}

char* jsonz_addInt32(char* position, const char* key, std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%i", value);
  return insertLiteral(position, key, text);
}

char* jsonz_addRaw(char* position, const char* key, const char* valueText) {
  return insertLiteral(position, key, valueText);
}

char* jsonz_endObject(char* position) { return position == nullptr ? nullptr : position + 1; }

char* jsonz_addObject(char* position, const char* key, const jsonz_growHandler& handler) {
  char* after = withGrowth(position, handler, [&](char* p) { return jsonz_addObject(p, key); });
  return after == nullptr ? nullptr : after - 1;
}

char* jsonz_addString(char* position, const char* key, const char* value, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addString(p, key, value); });
}

char* jsonz_addBool(char* position, const char* key, bool value, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addBool(p, key, value); });
}

char* jsonz_addUInt32(char* position, const char* key, std::uint32_t value, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addUInt32(p, key, value); });
}

char* jsonz_addUInt64(char* position, const char* key, std::uint64_t value, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addUInt64(p, key, value); });
}

char* jsonz_addInt32(char* position, const char* key, std::int32_t value, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addInt32(p, key, value); });
}

char* jsonz_addRaw(char* position, const char* key, const char* valueText, const jsonz_growHandler& handler) {
  return withGrowth(position, handler, [&](char* p) { return jsonz_addRaw(p, key, valueText); });
}
