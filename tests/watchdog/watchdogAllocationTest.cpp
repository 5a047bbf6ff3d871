// A pet allocates nothing: operator new is counted while pets run, against
// the same number of bare requests that the simulated driver answers alike.
// Only in builds without a sanitizer, whose runtime owns the allocator.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/driverWireFormat.h"
#include "watchdogFixture.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++gAllocations;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr int kPets = 64;

class WatchdogAllocation : public WatchdogTest {
 protected:
  template <class Work>
  static long allocationsOf(const Work& work) {
    for (int i = 0; i < kPets; ++i) work();  // warm up: the request log grows
    sim().clearRequests();
    const long before = gAllocations;
    for (int i = 0; i < kPets; ++i) work();
    return gAllocations - before;
  }
};

TEST_F(WatchdogAllocation, APetAllocatesNothingBeyondTheDriversOwn) {
  open();
  const int device = ::open(sim().interfaces()[0]->devicePath.c_str(), O_RDWR);
  ASSERT_NE(device, -1);
  tStatusInput input{0};
  tStatusOutput output{-1};
  tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                               sizeof input, sizeof output, 0, 0};
  const long bare = allocationsOf([&] { ASSERT_EQ(::ioctl(device, kPetWatchdog, &transfer), 0); });
  const long pets = allocationsOf([] { ASSERT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0); });
  EXPECT_EQ(output.status, 0);
  EXPECT_GT(bare, 0);  // the count sees the driver's allocations
  EXPECT_EQ(pets, bare);
  ::close(device);
}

}  // namespace
