// The buffer an answer document is written into: "[]" in 256 bytes that
// double whenever the text outgrows them. The first kInlineSize bytes live
// in the object itself, so growing within them only moves the sentinel;
// running out of memory beyond them throws std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "json/jsonWriter.h"

namespace tarn {

class tAnswerBuffer {
 public:
  static constexpr std::size_t kInitialSize = 256;
  static constexpr std::size_t kInlineSize = 4096;

  tAnswerBuffer() noexcept;
  tAnswerBuffer(const tAnswerBuffer&) = delete;
  tAnswerBuffer& operator=(const tAnswerBuffer&) = delete;

  // Where the next element of the top-level array goes (its "]").
  char* end() noexcept;
  const char* text() const noexcept { return data_; }
  // The whole buffer: 256 bytes times a power of two.
  std::size_t size() const noexcept { return size_; }
  // The size the buffer has grown to once it holds a text of `length`
  // characters: the text, its NUL and the sentinel fit.
  static std::size_t sizeFor(std::size_t length) noexcept;
  const jsonz_growHandler& grow() const noexcept { return grow_; }

 private:
  static char* growCallback(char* position, void* userData);
  char* doubleSize(char* position);

  char inline_[kInlineSize];
  std::unique_ptr<char[]> heap_;
  char* data_;
  std::size_t size_ = kInitialSize;
  jsonz_growHandler grow_;
};

// The decimal text of `value`, as "%u" writes it, for jsonz_addRaw: numbers
// in answers are formatted here rather than through the C library's
// formatting, which would be most of an answer's cost.
struct tUnsignedText {
  explicit tUnsignedText(std::uint32_t value) noexcept;
  char text[11];
};

}  // namespace tarn
