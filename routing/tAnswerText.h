// A growable JSON text for answers: the writer's in-place buffer (text, NUL,
// zero bytes, sentinel) that doubles whenever an insertion does not fit.
#pragma once

#include <cstddef>

#include "json/jsonWriter.h"

namespace tarn {

class tAnswerText {
 public:
  // Starts from `initial` in a buffer of `capacity` bytes; throws
  // std::bad_alloc when memory is short.
  tAnswerText(const char* initial, std::size_t capacity);
  ~tAnswerText();
  tAnswerText(const tAnswerText&) = delete;
  tAnswerText& operator=(const tAnswerText&) = delete;

  const char* text() const noexcept { return buffer_; }
  std::size_t size() const noexcept;  // with the NUL
  // The position of the last character (the top-level closing bracket).
  char* last() noexcept;
  const jsonz_growHandler& grow() const noexcept { return grow_; }
  // Turns a null result of a growth insertion into std::bad_alloc.
  static char* checked(char* position);

 private:
  static char* growBuffer(char* position, void* self) noexcept;

  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  jsonz_growHandler grow_;
};

}  // namespace tarn
