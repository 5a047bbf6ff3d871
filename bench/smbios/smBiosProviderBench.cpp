// Word and string reads through the process-wide SMBIOS provider beside a
// raw lookup of the same field: a bare walk with no checks and no status.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/cZeSmBiosLinuxProvider.h"
#include "sim/smbios/tSmBiosBoard.h"
#include "source/user/controllerSmBiosFields.h"

namespace {

using namespace nKESTREL1400::nZESMBIOS_1_1;

const std::vector<std::uint8_t>& defaultTable() {
  static const std::vector<std::uint8_t> table =
      nKESTRELSIM::nSMBIOS::tSmBiosBoard::fromFile(std::string(KESTREL_SIM_SMBIOS_BOARDS_DIR) + "/default.json")
          .tableBytes();
  return table;
}

void loadProvider() {
  static const bool loaded = [] {
    const std::uint32_t length = static_cast<std::uint32_t>(defaultTable().size());
    return smBiosLoad("benchmark", defaultTable().data(), &length) == 0;
  }();
  if (!loaded) std::abort();
}

// The baseline: the structure's first byte by a walk that trusts the table.
const std::uint8_t* rawFind(const std::vector<std::uint8_t>& table, std::uint8_t type, std::uint32_t instance) {
  const std::uint8_t* at = table.data();
  const std::uint8_t* end = at + table.size();
  while (at < end) {
    if (at[0] == type && instance-- == 0) return at;
    const std::uint8_t* next = at + at[1];
    while (next[0] != 0 || next[1] != 0) ++next;
    at = next + 2;
  }
  return nullptr;
}

// Memory size of the last memory device (type 17, 0Ch, instance 3).
constexpr std::uint32_t kMemorySize = nControllerField::kMemoryDeviceSize;
// Controller word of type 150 (06h), later in the table.
constexpr std::uint32_t kVendorWord = 0x29606;
// BIOS version (type 0, 05h, first structure) and a type-163 text (last).
constexpr std::uint32_t kBiosVersion = 0x0005;
constexpr std::uint32_t kVendorText = 0xA308;

void BM_WordRead(benchmark::State& state, std::uint32_t selector, std::uint32_t instance) {
  loadProvider();
  std::uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(smBiosReadWord(selector, instance, &value));
    benchmark::DoNotOptimize(value);
  }
}

void BM_WordRaw(benchmark::State& state, std::uint32_t selector, std::uint32_t instance) {
  const std::vector<std::uint8_t>& table = defaultTable();
  const auto type = static_cast<std::uint8_t>(selector >> 8);
  const auto offset = static_cast<std::uint8_t>(selector);
  for (auto _ : state) {
    const std::uint8_t* structure = rawFind(table, type, instance);
    std::uint16_t value = 0;
    std::memcpy(&value, structure + offset, sizeof value);
    benchmark::DoNotOptimize(value);
  }
}

void BM_StringRead(benchmark::State& state, std::uint32_t selector) {
  loadProvider();
  char buffer[256];
  for (auto _ : state) {
    std::uint32_t size = sizeof buffer;
    benchmark::DoNotOptimize(smBiosReadString(selector, 0, buffer, &size));
    benchmark::DoNotOptimize(buffer);
  }
}

void BM_StringRaw(benchmark::State& state, std::uint32_t selector) {
  const std::vector<std::uint8_t>& table = defaultTable();
  char buffer[256];
  for (auto _ : state) {
    const std::uint8_t* structure = rawFind(table, static_cast<std::uint8_t>(selector >> 8), 0);
    const char* text = reinterpret_cast<const char*>(structure + structure[1]);
    for (std::uint8_t number = structure[static_cast<std::uint8_t>(selector)]; --number != 0;) {
      text += std::strlen(text) + 1;
    }
    std::strcpy(buffer, text);
    benchmark::DoNotOptimize(buffer);
  }
}

// A provider of its own per table, so that tables of different sizes are
// read side by side in one run.
class tTableProvider : public cZeSmBiosProvider {
 public:
  explicit tTableProvider(const std::vector<std::uint8_t>& table) {
    nKESTREL1400::tStatus status;
    loadFromMemory("benchmark", table.data(), static_cast<std::uint32_t>(table.size()), status);
    if (status.isError()) std::abort();
  }

 protected:
  void loadTable(nKESTREL1400::tStatus&) noexcept override {}
};

std::vector<std::uint8_t> sharedTable(const char* name) {
  std::ifstream file(std::string(KESTREL_SHARED_DATA_DIR) + "/smbios/" + name + ".table", std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The memory size word of the last memory device in `table`.
void BM_LastMemorySize(benchmark::State& state, std::vector<std::uint8_t> table) {
  if (table.empty()) {
    state.SkipWithError("table not found (outside data)");
    return;
  }
  tTableProvider provider(table);
  std::uint32_t last = 0;
  for (;; ++last) {
    nKESTREL1400::tStatus status;
    provider.readWord(kMemorySize, last + 1, status);
    if (status.isError()) break;
  }
  nKESTREL1400::tStatus found;
  provider.readWord(kMemorySize, last, found);
  if (found.isError()) {
    state.SkipWithError("no memory device the walk can reach");
    return;
  }
  state.counters["tableBytes"] = static_cast<double>(table.size());
  state.counters["instance"] = last;
  for (auto _ : state) {
    nKESTREL1400::tStatus status;
    benchmark::DoNotOptimize(provider.readWord(kMemorySize, last, status));
  }
}

BENCHMARK_CAPTURE(BM_LastMemorySize, simulatedDefault, defaultTable());
// The largest real table whose memory devices a walk reaches (the larger
// HyperV table breaks off before its first one).
BENCHMARK_CAPTURE(BM_LastMemorySize, largestRealTable, sharedTable("SuperMicro-Dual-Xeon"));

BENCHMARK_CAPTURE(BM_WordRead, memorySizeInstance3, kMemorySize, 3);
BENCHMARK_CAPTURE(BM_WordRaw, memorySizeInstance3, kMemorySize, 3);
BENCHMARK_CAPTURE(BM_WordRead, vendorWord, kVendorWord, 0);
BENCHMARK_CAPTURE(BM_WordRaw, vendorWord, kVendorWord, 0);
BENCHMARK_CAPTURE(BM_StringRead, biosVersion, kBiosVersion);
BENCHMARK_CAPTURE(BM_StringRaw, biosVersion, kBiosVersion);
BENCHMARK_CAPTURE(BM_StringRead, vendorText, kVendorText);
BENCHMARK_CAPTURE(BM_StringRaw, vendorText, kVendorText);

}  // namespace
