// What one simulated request costs: a watchdog attribute read through the
// public interface, answered by models in the program's own process, and
// answered by a driver serving the program from another process (as under
// kestrel-sim, where every program of a run shares one driver).
#include <benchmark/benchmark.h>
#include <kestrel/kestrel.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sim/driver/tDriverHost.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

namespace {

using nKESTRELSIM::tProfile;
using nKESTRELSIM::tSimulator;

std::string makeSandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-bench.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

double percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
  std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(rank), samples.end());
  return samples[rank];
}

// Each request is timed on its own: the median and the 99th percentile of
// the requests (in microseconds) beside the benchmark's mean time.
void readTimeouts(benchmark::State& state) {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) != 0) {
    state.SkipWithError("the watchdog does not open");
    return;
  }
  std::uint32_t value = 0;
  std::vector<double> samples;
  samples.reserve(1 << 20);
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    if (KESTREL_getAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, &value) != 0) std::abort();
    const auto end = std::chrono::steady_clock::now();
    if (samples.size() < samples.capacity()) samples.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    benchmark::DoNotOptimize(value);
  }
  KESTREL_closeWatchdog(watchdog);
  state.counters["median_us"] = percentile(samples, 0.5);
  state.counters["p99_us"] = percentile(samples, 0.99);
}

void inProcessRequest(benchmark::State& state) {
  auto& sim = tSimulator::instance();
  sim.start();
  tProfile::defaults().apply(sim, true);
  readTimeouts(state);
  sim.stop();
}

// The driver is served by a child process; this process is its client.
void crossProcessRequest(benchmark::State& state) {
  const std::string root = makeSandbox();
  const std::string socketPath = root + "/driver";
  auto& sim = tSimulator::instance();
  const pid_t server = fork();
  if (server == 0) {
    sim.start(root);
    tProfile::defaults().apply(sim, true);
    nKESTRELSIM::tDriverHost host(sim, socketPath);
    host.serve();
    _exit(0);
  }
  sim.start(root);
  tProfile::defaults().apply(sim, false);
  for (int attempt = 0;; ++attempt) {
    sim.useDriverAt(socketPath);
    if (!sim.sharedDriverGone()) break;
    if (attempt == 5000) std::abort();  // the server never came up
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  readTimeouts(state);
  sim.stop();
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  std::filesystem::remove_all(root);
}

BENCHMARK(inProcessRequest)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(crossProcessRequest)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
