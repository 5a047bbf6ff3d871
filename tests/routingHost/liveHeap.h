// Bytes and blocks the process holds on the heap right now, across all
// threads and every library (this executable's allocator entry points
// stand in for the C library's). Sanitizer builds leave it out: they have
// allocators of their own.
#pragma once

#include <cstddef>

namespace kestrelTest {

struct tLiveHeap {
  long blocks;
  long bytes;
  bool operator==(const tLiveHeap&) const = default;
};

tLiveHeap liveHeap() noexcept;

// Allocations of at least `bytes` fail (as when memory is short) until
// called with 0.
void failAllocationsFrom(std::size_t bytes) noexcept;

}  // namespace kestrelTest
