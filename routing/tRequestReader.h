// A one-pass reader for the ordinary shapes of route request documents: it
// validates each byte as it reads it, by the JSON reader's own grammar, so
// a document is read once instead of being validated first and walked
// afterwards. Every step answers false where the thorough walk has work to
// do: a document that is not valid, a refusal to report, a nested value the
// reader does not descend into, an escaped member name. The caller then
// forgets what it read and walks the document the thorough way, which
// decides the outcome as always.
#pragma once

#include <cstddef>
#include <cstring>

#include "json/jsonReader.h"

namespace tarn {

class tRequestReader {
 public:
  explicit tRequestReader(const char* text) noexcept : p_(text) {}

  // White space, then the opening bracket (`[` or `{`); `more` is false for
  // an empty container.
  bool open(char bracket, bool& more) noexcept;
  // After a value: a comma and the next item (more), or the closer (not
  // more).
  bool next(char closer, bool& more) noexcept;
  // A member name without escapes, and its colon; the value follows.
  bool name(const char*& text, std::size_t& length) noexcept;

  // The first byte of the value at the reading position.
  char peek() const noexcept { return *p_; }
  // A string value: its raw text.
  bool string(const char*& text, std::size_t& length) noexcept;
  // A number value as the JSON reader describes it.
  bool number(jsonz_value& value) noexcept;
  // A string, number, boolean or null value, described.
  bool scalar(jsonz_value& value) noexcept;

  // An array, `read()` reading each element in turn.
  template <class Read>
  bool elements(Read read) {
    bool more = false;
    if (!open('[', more)) return false;
    while (more) {
      if (!read() || !next(']', more)) return false;
    }
    return true;
  }
  // An object, `read(name, length)` reading each member's value in turn.
  template <class Read>
  bool members(Read read) {
    bool more = false;
    if (!open('{', more)) return false;
    while (more) {
      const char* text = nullptr;
      std::size_t length = 0;
      if (!name(text, length) || !read(text, length) || !next('}', more)) return false;
    }
    return true;
  }
  // An object of scalar values, `read(name, length, value)` taking each.
  template <class Read>
  bool scalarMembers(Read read) {
    return members([&](const char* text, std::size_t length) {
      jsonz_value value{};
      return scalar(value) && read(text, length, value);
    });
  }

 private:
  const char* p_;
};

// Whether a member name is `word` (raw, as tRequestReader::name gives it).
inline bool nameIs(const char* text, std::size_t length, const char* word, std::size_t wordLength) noexcept {
  return length == wordLength && std::memcmp(text, word, length) == 0;
}
template <std::size_t N>
bool nameIs(const char* text, std::size_t length, const char (&word)[N]) noexcept {
  return nameIs(text, length, word, N - 1);
}

}  // namespace tarn
