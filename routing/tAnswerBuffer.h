// The buffer an answer document is written into: "[]" in 256 bytes that
// double whenever the text outgrows them. The first 256 bytes live inline;
// running out of memory throws std::bad_alloc.
#pragma once

#include <cstddef>
#include <memory>

#include "json/jsonWriter.h"

namespace tarn {

class tAnswerBuffer {
 public:
  static constexpr std::size_t kInitialSize = 256;

  tAnswerBuffer() noexcept;
  tAnswerBuffer(const tAnswerBuffer&) = delete;
  tAnswerBuffer& operator=(const tAnswerBuffer&) = delete;

  // Where the next element of the top-level array goes (its "]").
  char* end() noexcept;
  const char* text() const noexcept { return data_; }
  // The whole buffer: 256 bytes times a power of two.
  std::size_t size() const noexcept { return size_; }
  const jsonz_growHandler& grow() const noexcept { return grow_; }

 private:
  static char* growCallback(char* position, void* userData);
  char* doubleSize(char* position);

  char inline_[kInitialSize];
  std::unique_ptr<char[]> heap_;
  char* data_;
  std::size_t size_ = kInitialSize;
  jsonz_growHandler grow_;
};

}  // namespace tarn
