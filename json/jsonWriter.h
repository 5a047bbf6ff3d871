// In-place JSON writer.
//
// Members and elements are inserted into an existing JSON text that lives in
// a fixed buffer laid out as: the text, its NUL, zero bytes, and the sentinel
// byte 'J' in the buffer's last byte. Nothing is allocated; an insertion that
// does not fit returns null and changes nothing. The forms taking a
// jsonz_growHandler ask the handler for a larger buffer and retry.
#pragma once

#include <cstddef>
#include <cstdint>

struct jsonz_growHandler {
  // Moves the text into a larger buffer prepared as by jsonz_initBuffer and
  // returns the position there that corresponds to `position`, or null.
  char* (*callback)(char* position, void* userData);
  void* userData;
};

inline constexpr char kJsonzSentinel = 'J';

// Copies `text` (or keeps the current text when null) into the buffer, zero
// fills and writes the sentinel. Returns the position of the text's last
// character, or null when length + 1 is not less than `size`.
char* jsonz_initBuffer(char* buffer, std::size_t size, const char* text);

char* jsonz_addObject(char* position, const char* key);
char* jsonz_addString(char* position, const char* key, const char* value);
char* jsonz_addBool(char* position, const char* key, bool value);
char* jsonz_addUInt32(char* position, const char* key, std::uint32_t value);
char* jsonz_addUInt64(char* position, const char* key, std::uint64_t value);
char* jsonz_addInt32(char* position, const char* key, std::int32_t value);
char* jsonz_addRaw(char* position, const char* key, const char* valueText);
char* jsonz_endObject(char* position);

// Growth forms. jsonz_addObject returns the position of the new object's '}'
// here, where its members are inserted.
char* jsonz_addObject(char* position, const char* key, const jsonz_growHandler& handler);
char* jsonz_addString(char* position, const char* key, const char* value, const jsonz_growHandler& handler);
char* jsonz_addBool(char* position, const char* key, bool value, const jsonz_growHandler& handler);
char* jsonz_addUInt32(char* position, const char* key, std::uint32_t value, const jsonz_growHandler& handler);
char* jsonz_addUInt64(char* position, const char* key, std::uint64_t value, const jsonz_growHandler& handler);
char* jsonz_addInt32(char* position, const char* key, std::int32_t value, const jsonz_growHandler& handler);
char* jsonz_addRaw(char* position, const char* key, const char* valueText, const jsonz_growHandler& handler);

// Length of `text` once escaped by the writer.
std::size_t jsonz_escapedLength(const char* text);
