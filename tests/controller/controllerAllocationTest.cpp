// A successful SMBIOS-backed attribute read allocates no memory: malloc is
// counted on this thread while the calls run.
#include <atomic>
#include <cstddef>

#include "simulatedBoard.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void __libc_free(void* memory);
}

namespace {
thread_local bool tCounting = false;
std::atomic<long> gAllocations{0};

void count() {
  if (tCounting) ++gAllocations;
}
}  // namespace

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

namespace {

class AttributeAllocations : public SimulatedBoard {
 protected:
  AttributeAllocations() {
    start(defaultProfile());
    EXPECT_EQ(open(), 0);
  }

  // Allocations made by `calls`.
  template <typename Calls>
  long allocationsOf(Calls calls) {
    const long before = gAllocations;
    tCounting = true;
    calls();
    tCounting = false;
    return gAllocations - before;
  }
};

TEST_F(AttributeAllocations, SuccessfulSmbiosReadsAllocateNothing) {
  std::uint32_t value = 0;
  char buffer[64];
  std::uint64_t length = sizeof buffer;
  const long allocations = allocationsOf([&] {
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_BOARD_ID, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE + 1, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_MODULE_COUNT, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_EXPANSION_INTERFACE, &value), 0);
      length = sizeof buffer;
      EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, buffer, &length), 0);
    }
  });
  EXPECT_EQ(allocations, 0);
}

TEST_F(AttributeAllocations, TheCounterSeesAllocations) {
  std::uint32_t value = 0;
  // A failure writes a report, which needs memory.
  EXPECT_GT(allocationsOf([&] { KESTREL_getAttributeU32(kControllerHandle, 0x20999900 + 1, &value); }), 0);
}

}  // namespace
