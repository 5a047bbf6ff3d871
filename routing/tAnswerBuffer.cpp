#include "routing/tAnswerBuffer.h"

#include <algorithm>
#include <cstring>

namespace tarn {

tAnswerBuffer::tAnswerBuffer() noexcept : data_(inline_), grow_{&growCallback, this} {
  jsonz_initBuffer(data_, size_, "[]");
}

char* tAnswerBuffer::end() noexcept { return data_ + std::strlen(data_) - 1; }

char* tAnswerBuffer::growCallback(char* position, void* userData) {
  return static_cast<tAnswerBuffer*>(userData)->doubleSize(position);
}

char* tAnswerBuffer::doubleSize(char* position) {
  const std::size_t size = 2 * size_;
  const std::ptrdiff_t offset = position - data_;
  if (size > kInlineSize) {
    auto grown = std::make_unique<char[]>(size);
    std::memcpy(grown.get(), data_, std::strlen(data_) + 1);
    heap_ = std::move(grown);
    data_ = heap_.get();
  }
  size_ = size;
  jsonz_initBuffer(data_, size_, nullptr);
  return data_ + offset;
}

std::size_t tAnswerBuffer::sizeFor(std::size_t length) noexcept {
  std::size_t size = kInitialSize;
  while (size < length + 2) size *= 2;
  return size;
}

tUnsignedText::tUnsignedText(std::uint32_t value) noexcept {
  char reversed[10];
  std::size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::reverse_copy(reversed, reversed + count, text);
  text[count] = '\0';
}

}  // namespace tarn
