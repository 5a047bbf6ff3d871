#include "routing/tAnswerBuffer.h"

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
  auto grown = std::make_unique<char[]>(size);
  std::memcpy(grown.get(), data_, std::strlen(data_) + 1);
  jsonz_initBuffer(grown.get(), size, nullptr);
  const std::ptrdiff_t offset = position - data_;
  heap_ = std::move(grown);
  data_ = heap_.get();
  size_ = size;
  return data_ + offset;
}

}  // namespace tarn
