#include "liveHeap.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* memory);
}

namespace {

std::atomic<long> gBlocks{0};
std::atomic<long> gBytes{0};
std::atomic<std::size_t> gFailFrom{0};

bool refused(std::size_t size) noexcept {
  const std::size_t from = gFailFrom.load(std::memory_order_relaxed);
  if (from == 0 || size < from) return false;
  errno = ENOMEM;
  return true;
}

void* taken(void* memory) noexcept {
  if (memory != nullptr) {
    gBlocks.fetch_add(1, std::memory_order_relaxed);
    gBytes.fetch_add(static_cast<long>(malloc_usable_size(memory)), std::memory_order_relaxed);
  }
  return memory;
}

void given(void* memory) noexcept {
  if (memory == nullptr) return;
  gBlocks.fetch_sub(1, std::memory_order_relaxed);
  gBytes.fetch_sub(static_cast<long>(malloc_usable_size(memory)), std::memory_order_relaxed);
}

}  // namespace

namespace kestrelTest {
tLiveHeap liveHeap() noexcept { return {gBlocks.load(), gBytes.load()}; }
void failAllocationsFrom(std::size_t bytes) noexcept { gFailFrom.store(bytes); }
}  // namespace kestrelTest

extern "C" {
void* malloc(std::size_t size) { return refused(size) ? nullptr : taken(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) {
  return refused(count * size) ? nullptr : taken(__libc_calloc(count, size));
}
void* realloc(void* memory, std::size_t size) {
  if (refused(size)) return nullptr;
  if (memory == nullptr) return taken(__libc_malloc(size));
  const long before = static_cast<long>(malloc_usable_size(memory));
  void* moved = __libc_realloc(memory, size);
  if (moved == nullptr) {
    if (size == 0) {
      gBlocks.fetch_sub(1, std::memory_order_relaxed);
      gBytes.fetch_sub(before, std::memory_order_relaxed);
    }
    return nullptr;
  }
  gBytes.fetch_add(static_cast<long>(malloc_usable_size(moved)) - before, std::memory_order_relaxed);
  return moved;
}
void* memalign(std::size_t alignment, std::size_t size) { return taken(__libc_memalign(alignment, size)); }
void* aligned_alloc(std::size_t alignment, std::size_t size) { return taken(__libc_memalign(alignment, size)); }
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  void* memory = taken(__libc_memalign(alignment, size));
  if (memory == nullptr) return ENOMEM;
  *out = memory;
  return 0;
}
void free(void* memory) {
  given(memory);
  __libc_free(memory);
}
}
