// How long a notification takes from the driver sending it to
// KESTREL_waitForWatchdogNotification returning (median and 99th
// percentile), and what KESTREL_petWatchdog costs beside the bare request
// it sends, in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <kestrel/kestrel.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/system/tSimulator.h"

namespace {

using namespace nKESTREL1400::nDriverWire;
using tClock = std::chrono::steady_clock;

// One simulated watchdog with an open session for the whole run.
class tWatchdogUnderTest {
 public:
  static tWatchdogUnderTest& instance() {
    static tWatchdogUnderTest watchdog;
    return watchdog;
  }
  int device() const { return device_; }

 private:
  tWatchdogUnderTest() {
    auto& sim = nKESTRELSIM::tSimulator::instance();
    sim.start();
    const auto& node = sim.addInterface(nKESTREL1400::kWatchdogInterface);
    tKestrelHandle handle = 0;
    if (KESTREL_openWatchdog(&handle) != 0) std::abort();
    device_ = ::open(node.devicePath.c_str(), O_RDWR);
    if (device_ == -1) std::abort();
  }
  int device_ = -1;
};

double percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
  std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(rank), samples.end());
  return samples[rank];
}

void notificationLatency(benchmark::State& state) {
  tWatchdogUnderTest::instance();
  std::atomic<std::int64_t> returnedAt{0};
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    std::int32_t value = 0;
    while (KESTREL_waitForWatchdogNotification(kWatchdogHandle, &value) == 0 && value != 0) {
      returnedAt.store(tClock::now().time_since_epoch().count(), std::memory_order_release);
    }
    done = true;
  });
  std::vector<double> microseconds;
  const std::uint8_t payload[] = {1};
  for (auto _ : state) {
    returnedAt.store(0, std::memory_order_relaxed);
    const auto sentAt = tClock::now().time_since_epoch().count();
    nKESTRELSIM::tSimulator::instance().sendNotification(0x70, payload);
    while (returnedAt.load(std::memory_order_acquire) == 0) {
    }
    microseconds.push_back(static_cast<double>(returnedAt.load() - sentAt) / 1000.0);
  }
  const std::uint8_t last[] = {0};  // ends the waiter's loop
  nKESTRELSIM::tSimulator::instance().sendNotification(0x70, last);
  waiter.join();
  state.counters["median_us"] = percentile(microseconds, 0.5);
  state.counters["p99_us"] = percentile(microseconds, 0.99);
}
BENCHMARK(notificationLatency)->Iterations(2000)->UseRealTime();

void petWatchdog(benchmark::State& state) {
  tWatchdogUnderTest::instance();
  for (auto _ : state) benchmark::DoNotOptimize(KESTREL_petWatchdog(kWatchdogHandle));
  nKESTRELSIM::tSimulator::instance().clearRequests();  // the driver logs every request
}
BENCHMARK(petWatchdog);

// The same request record as a pet, straight to the device.
void bareRequest(benchmark::State& state) {
  const int device = tWatchdogUnderTest::instance().device();
  tStatusInput input{0};
  tStatusOutput output{0};
  tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(&input), reinterpret_cast<std::uint64_t>(&output),
                               sizeof input, sizeof output, 0, 0};
  for (auto _ : state) benchmark::DoNotOptimize(::ioctl(device, kPetWatchdog, &transfer));
  nKESTRELSIM::tSimulator::instance().clearRequests();
}
BENCHMARK(bareRequest);

}  // namespace
