// Counts the heap allocations (malloc, calloc, realloc and so operator new)
// that the calling thread makes while work runs. Tests linking this replace
// the C library's allocator entry points; sanitizer builds leave it out.
#pragma once

namespace kestrelTest {

long allocationsOnThisThread() noexcept;
void countAllocations(bool on) noexcept;

template <typename Work>
long allocationsOf(Work&& work) {
  const long before = allocationsOnThisThread();
  countAllocations(true);
  work();
  countAllocations(false);
  return allocationsOnThisThread() - before;
}

}  // namespace kestrelTest
