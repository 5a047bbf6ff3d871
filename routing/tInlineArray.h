// A growable array of plain records that keeps its first N entries inline,
// so that an ordinary route request allocates nothing for its records. New
// entries are zeroed; running out of memory throws std::bad_alloc.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace tarn {

template <class T, std::size_t N>
class tInlineArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  tInlineArray() noexcept = default;
  explicit tInlineArray(std::size_t size) { resize(size); }
  ~tInlineArray() { std::free(heap_); }
  tInlineArray(const tInlineArray&) = delete;
  tInlineArray& operator=(const tInlineArray&) = delete;

  T* data() noexcept { return heap_ != nullptr ? heap_ : inline_; }
  const T* data() const noexcept { return heap_ != nullptr ? heap_ : inline_; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t index) noexcept { return data()[index]; }
  const T& operator[](std::size_t index) const noexcept { return data()[index]; }
  T& back() noexcept { return data()[size_ - 1]; }

  // Appends a zeroed entry.
  T& appendZeroed() {
    resize(size_ + 1);
    return back();
  }
  void append(const T& value) { appendZeroed() = value; }

  // Drops the tail or appends zeroed entries.
  void resize(std::size_t size) {
    if (size > capacity_) reserve(size < 2 * capacity_ ? 2 * capacity_ : size);
    if (size > size_) std::memset(static_cast<void*>(data() + size_), 0, (size - size_) * sizeof(T));
    size_ = size;
  }

 private:
  void reserve(std::size_t capacity) {
    if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    T* grown = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (grown == nullptr) throw std::bad_alloc();
    std::memcpy(static_cast<void*>(grown), data(), size_ * sizeof(T));
    std::free(heap_);
    heap_ = grown;
    capacity_ = capacity;
  }

  T inline_[N] = {};
  T* heap_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = N;
};

}  // namespace tarn
