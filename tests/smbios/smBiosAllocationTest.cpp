// Successful lookups allocate nothing: operator new is counted while a
// lookup runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "smBiosTestProviders.h"
#include "tSmBiosTableBuilder.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

TEST(smBiosAllocationTest, LoadedLookupsAllocateNothing) {
  nKESTRELSIM::nSMBIOS::tSmBiosTableBuilder builder;
  builder.add(0).setString(0x05, "1.4.0f2");
  builder.add(4).setQword(0x08, 7).setWord(0x14, 3600);
  builder.add(150).setByte(0x04, 2);
  tSourceProvider provider;
  provider.source = builder.build();
  tStatus warmUp;
  provider.readByte(0x19604, 0, warmUp);  // the load itself may allocate
  ASSERT_EQ(warmUp.getCode(), 0);

  char buffer[32];
  std::uint32_t size = sizeof buffer;
  const long before = gAllocations;
  tStatus status;
  provider.readByte(0x19604, 0, status);
  provider.readWord(0x20414, 0, status);
  provider.readQword(0x40408, 0, status);
  provider.readString(0x0005, 0, buffer, size, status);
  provider.readString(kIdentificationSelector, 0, buffer, size, status);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_EQ(gAllocations - before, 0);
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
