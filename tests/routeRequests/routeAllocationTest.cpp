// An ordinary route request allocates nothing of its own beyond the answer
// the framework's allocator gives: counted against the bare driver request,
// which the simulated driver answers alike. Only in builds without a
// sanitizer, whose runtime owns the allocator.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "allocationCounter.h"
#include "platform/driverWireFormat.h"
#include "routeSessionFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr int kRequests = 32;

const char kSeeds[] =
    R"([{"terminal":"FLOAT","cost":8,"constraints":{}},{"terminal":"TRIG_SMB","cost":7,"constraints":{}},)"
    R"({"terminal":"WD_Terminal","cost":6,"constraints":{"inversionNeeded":true}},)"
    R"({"terminal":"PXI_Trig0","cost":5,"constraints":{}},{"terminal":"pxi_trig1","cost":4,"constraints":{}},)"
    R"({"terminal":"PXI_Trig2","cost":3,"constraints":{}},{"terminal":"PXI_Trig3","cost":2,"constraints":{}},)"
    R"({"terminal":"PXI_TRIG4","cost":1,"constraints":{}}])";
const char kDestinations[] =
    R"(["WD_Terminal","PXI_Trig0","PXI_Trig1","PXI_Trig2","PXI_Trig3","PXI_Trig4","PXI_Trig5","PXI_Trig6"])";

class RouteAllocation : public RouteSession {
 protected:
  // The fewest allocations one request makes: the simulated driver's own
  // containers (its request log, its routes) grow now and then, which is
  // not the request's doing.
  template <class Work>
  static long allocationsOf(const Work& work) {
    long fewest = -1;
    for (int i = 0; i < kRequests; ++i) {
      sim().clearRequests();
      const long count = kestrelTest::allocationsOf(work);
      if (fewest < 0 || count < fewest) fewest = count;
    }
    return fewest;
  }
};

TEST_F(RouteAllocation, ARequestAllocatesOnlyTheFrameworksAnswer) {
  const int device = ::open(devicePath_.c_str(), O_RDWR);
  ASSERT_NE(device, -1);
  tRouteSeed seeds[8] = {};
  std::uint32_t destinations[8] = {};
  for (std::uint32_t i = 0; i < 8; ++i) {
    seeds[i] = tRouteSeed{i + 1, 8 - i, 0, {}};
    destinations[i] = i + 3;
  }
  tRouteSegment segments[16] = {};
  const long bare = allocationsOf([&] {
    tCalculateRouteInput input{0, reinterpret_cast<std::uint64_t>(seeds), 8, 0,
                               reinterpret_cast<std::uint64_t>(destinations), 8, 0,
                               reinterpret_cast<std::uint64_t>(segments), 16, 0};
    tCalculateRouteOutput output{};
    tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                                 sizeof input, sizeof output, 0, 0};
    ASSERT_EQ(::ioctl(device, kCalculateRoute, &transfer), 0);
    ASSERT_EQ(output.status, 0);
  });
  char* answer = nullptr;
  const long requests = allocationsOf([&] {
    nKESTREL1400::tScopedStatusReport status;
    ASSERT_NE(quill_ra_kestrel_calculateRoute(session_, kSeeds, kDestinations, "{}", &answer, &status.get()), 0u);
    ASSERT_EQ(status.code(), 0);
  });
  std::free(answer);
  EXPECT_GT(bare, 0);  // the count sees the driver's allocations
  EXPECT_EQ(requests, bare + 1);  // the answer
  ::close(device);
}

}  // namespace
