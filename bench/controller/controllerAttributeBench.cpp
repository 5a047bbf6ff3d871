// The cost of the attribute interface: KESTREL_getAttributeU32 for an SMBIOS
// word, a device value and the populated-memory count, beside a raw walk of
// the same table to the same word. The ratio counter says how many raw
// lookups one call costs.
#include <benchmark/benchmark.h>
#include <kestrel/kestrel.h>

#include <cstdlib>

#include "sim/models/tHostControllerModel.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

namespace {

// The simulated default controller, opened once for every benchmark.
struct OpenController {
  OpenController() {
    nKESTRELSIM::tSimulator::instance().start();
    nKESTRELSIM::tProfile::defaults().apply(nKESTRELSIM::tSimulator::instance(), true);
    tKestrelHandle handle = 0;
    if (KESTREL_openController(&handle) != 0) std::abort();
    table = nKESTRELSIM::tSimulator::instance().hostController().smBiosTable();
  }
  std::vector<std::uint8_t> table;
};

OpenController& controller() {
  static OpenController open;
  return open;
}

// The word at `offset` of the instance-th structure of `type`, by a walk that
// trusts the table.
std::uint16_t rawWord(const std::vector<std::uint8_t>& table, std::uint8_t type, std::uint32_t instance,
                      std::uint8_t offset) {
  const std::uint8_t* at = table.data();
  const std::uint8_t* end = at + table.size();
  while (at < end) {
    if (at[0] == type && instance-- == 0) return static_cast<std::uint16_t>(at[offset] | (at[offset + 1] << 8));
    const std::uint8_t* next = at + at[1];
    while (next[0] != 0 || next[1] != 0) ++next;
    at = next + 2;
  }
  return 0;
}

void readU32(benchmark::State& state, std::uint32_t id) {
  controller();
  std::uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KESTREL_getAttributeU32(kControllerHandle, id, &value));
    benchmark::DoNotOptimize(value);
  }
}

void BM_SmbiosWord(benchmark::State& state) { readU32(state, KESTREL_ATTR_BOARD_ID); }
void BM_DeviceValue(benchmark::State& state) { readU32(state, KESTREL_ATTR_DEVICE_VALUE_1); }
void BM_PopulatedCount(benchmark::State& state) { readU32(state, KESTREL_ATTR_MEMORY_MODULE_COUNT); }

void BM_RawTableWord(benchmark::State& state) {
  const auto& table = controller().table;
  for (auto _ : state) benchmark::DoNotOptimize(rawWord(table, 150, 0, 0x06));
}

BENCHMARK(BM_SmbiosWord);
BENCHMARK(BM_DeviceValue);
BENCHMARK(BM_PopulatedCount);
BENCHMARK(BM_RawTableWord);

}  // namespace
