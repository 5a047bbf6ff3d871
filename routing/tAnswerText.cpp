#include "routing/tAnswerText.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarn {

tAnswerText::tAnswerText(const char* initial, std::size_t capacity) : grow_{&growBuffer, this} {
  buffer_ = static_cast<char*>(std::malloc(capacity));
  if (buffer_ == nullptr) throw std::bad_alloc();
  capacity_ = capacity;
  if (jsonz_initBuffer(buffer_, capacity_, initial) == nullptr) {
    std::free(buffer_);
    throw std::bad_alloc();
  }
}

tAnswerText::~tAnswerText() { std::free(buffer_); }

std::size_t tAnswerText::size() const noexcept { return std::strlen(buffer_) + 1; }

char* tAnswerText::last() noexcept {
  const std::size_t length = std::strlen(buffer_);
  return length == 0 ? buffer_ : buffer_ + length - 1;
}

char* tAnswerText::checked(char* position) {
  if (position == nullptr) throw std::bad_alloc();
  return position;
}

char* tAnswerText::growBuffer(char* position, void* self) noexcept {
  auto& answer = *static_cast<tAnswerText*>(self);
  if (answer.capacity_ > (static_cast<std::size_t>(1) << 40)) return nullptr;
  const std::size_t capacity = answer.capacity_ * 2;
  const std::ptrdiff_t offset = position - answer.buffer_;
  auto* grown = static_cast<char*>(std::realloc(answer.buffer_, capacity));
  if (grown == nullptr) return nullptr;
  answer.buffer_ = grown;
  answer.capacity_ = capacity;
  jsonz_initBuffer(grown, capacity, nullptr);
  return grown + offset;
}

}  // namespace tarn
