#include "allocationCounter.h"

#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void __libc_free(void* memory);
}

namespace {
thread_local bool tCounting = false;
thread_local long tAllocations = 0;

void count() noexcept {
  if (tCounting) ++tAllocations;
}
}  // namespace

namespace kestrelTest {
long allocationsOnThisThread() noexcept { return tAllocations; }
void countAllocations(bool on) noexcept { tCounting = on; }
}  // namespace kestrelTest

extern "C" {
void* malloc(std::size_t size) {
  count();
  return __libc_malloc(size);
}
void* calloc(std::size_t count_, std::size_t size) {
  count();
  return __libc_calloc(count_, size);
}
void* realloc(void* memory, std::size_t size) {
  count();
  return __libc_realloc(memory, size);
}
void free(void* memory) { __libc_free(memory); }
}
