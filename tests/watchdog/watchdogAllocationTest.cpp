// A pet allocates nothing: allocations are counted while pets run, against
// the same number of bare requests that the simulated driver answers alike.
// Only in builds without a sanitizer, whose runtime owns the allocator.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "allocationCounter.h"
#include "platform/driverWireFormat.h"
#include "watchdogFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr int kPets = 64;

class WatchdogAllocation : public WatchdogTest {
 protected:
  template <class Work>
  static long allocationsOf(const Work& work) {
    for (int i = 0; i < kPets; ++i) work();  // warm up: the request log grows
    sim().clearRequests();
    return kestrelTest::allocationsOf([&] {
      for (int i = 0; i < kPets; ++i) work();
    });
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
