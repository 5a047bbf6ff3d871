// What quill_ra_kestrel_calculateRoute costs for 8 seeds and 8 destinations
// beside the bare calculateRoute request with prepared records, in the same
// run; the difference is the adaptor's own cost (reading the documents,
// matching names, writing the answer). Each iteration also destroys its
// route, alike in both, so the driver's state stays the same size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <kestrel/quill_ra_kestrel.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/system/tSimulator.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

void* answerAllocator(void* existing, std::size_t size) { return std::realloc(existing, size); }

// One simulated trigger router with an open session for the whole run.
class tRouterUnderTest {
 public:
  static tRouterUnderTest& instance() {
    static tRouterUnderTest router;
    return router;
  }
  quill_ra_kestrel_session* session() const { return session_; }
  int device() const { return device_; }

 private:
  tRouterUnderTest() {
    auto& sim = nKESTRELSIM::tSimulator::instance();
    sim.start();
    const auto& node = sim.addInterface(nKESTREL1400::kTriggerRouterInterface);
    tStatusReport status{0, 0, nullptr, nullptr};
    session_ = quill_ra_kestrel_createSession(node.devicePath.c_str(), &answerAllocator, &status);
    device_ = ::open(node.devicePath.c_str(), O_RDWR);
    if (session_ == nullptr || device_ == -1) std::abort();
  }
  quill_ra_kestrel_session* session_ = nullptr;
  int device_ = -1;
};

// Seeds on the first eight terminals, destinations on the last eight, names
// as a framework writes them (some in other letter case).
const char kSeeds[] =
    R"([{"terminal":"FLOAT","cost":8,"constraints":{}},{"terminal":"TRIG_SMB","cost":7,"constraints":{}},)"
    R"({"terminal":"WD_Terminal","cost":6,"constraints":{"inversionNeeded":true}},)"
    R"({"terminal":"PXI_Trig0","cost":5,"constraints":{}},{"terminal":"pxi_trig1","cost":4,"constraints":{}},)"
    R"({"terminal":"PXI_Trig2","cost":3,"srcDeviceToken":"dev1","constraints":{}},)"
    R"({"terminal":"PXI_Trig3","cost":2,"constraints":{}},{"terminal":"PXI_TRIG4","cost":1,"constraints":{}}])";
const char kDestinations[] =
    R"(["WD_Terminal","PXI_Trig0","PXI_Trig1","PXI_Trig2","PXI_Trig3","PXI_Trig4","PXI_Trig5","PXI_Trig6"])";
const char kModifiers[] = R"({"optional":{"calculateIgnoresReservations":false}})";

void destroyBare(int device, std::uint32_t ticket) {
  tTicketInput input{ticket, 0};
  tStatusOutput output{};
  tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                               sizeof input, sizeof output, 0, 0};
  ::ioctl(device, kDestroyRoute, &transfer);
}

void calculateRouteExport(benchmark::State& state) {
  auto& router = tRouterUnderTest::instance();
  char* answer = nullptr;
  for (auto _ : state) {
    tStatusReport status{0, 0, nullptr, nullptr};
    const std::uint32_t ticket =
        quill_ra_kestrel_calculateRoute(router.session(), kSeeds, kDestinations, kModifiers, &answer, &status);
    if (ticket == 0) state.SkipWithError("the route was refused");
    quill_ra_kestrel_destroyRoute(router.session(), ticket);
    nKESTRELSIM::tSimulator::instance().clearRequests();
  }
  std::free(answer);
}
BENCHMARK(calculateRouteExport);

void calculateRouteBare(benchmark::State& state) {
  auto& router = tRouterUnderTest::instance();
  const std::uint32_t costs[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  tRouteSeed seeds[8] = {};
  std::uint32_t destinations[8] = {};
  for (std::uint32_t i = 0; i < 8; ++i) {
    seeds[i] = tRouteSeed{i + 1, costs[i], static_cast<std::uint8_t>(i == 2), {}};
    destinations[i] = i + 3;
  }
  tRouteSegment segments[16] = {};
  for (auto _ : state) {
    tCalculateRouteInput input{0, reinterpret_cast<std::uint64_t>(seeds), 8, 0,
                               reinterpret_cast<std::uint64_t>(destinations), 8, 0,
                               reinterpret_cast<std::uint64_t>(segments), 16, 0};
    tCalculateRouteOutput output{};
    tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                                 sizeof input, sizeof output, 0, 0};
    if (::ioctl(router.device(), kCalculateRoute, &transfer) != 0 || output.status != 0) {
      state.SkipWithError("the route was refused");
    }
    benchmark::DoNotOptimize(segments);
    destroyBare(router.device(), output.ticket);
    nKESTRELSIM::tSimulator::instance().clearRequests();
  }
}
BENCHMARK(calculateRouteBare);

}  // namespace
