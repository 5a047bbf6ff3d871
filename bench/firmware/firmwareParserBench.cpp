// Parsing and verifying a 16 MiB single-image update file (Base64 in
// 76-character CR LF lines) beside memcpy of the 16 MiB image, and the two
// halves of verification on their own. Bytes per second count the decoded
// image in every case, so the rates compare directly; the goal is
// verification at 0.5 times the memcpy rate or better.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareFileWriter.h"
#include "firmware/tFirmwareImageParser.h"
#include "platform/tStatusReport.h"

namespace {

using namespace nKESTREL1400;

constexpr std::size_t kImageSize = 16u << 20;

const std::vector<std::uint8_t>& image() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::vector<std::uint8_t> result(kImageSize);
    std::mt19937_64 generator(42);
    for (std::size_t i = 0; i < result.size(); i += 8) {
      const std::uint64_t value = generator();
      std::memcpy(result.data() + i, &value, 8);
    }
    return result;
  }();
  return bytes;
}

const std::string& updateFile() {
  static const std::string file = nFirmware::packSection({"BIOS", "1.5.0f0", image()});
  return file;
}

void setRate(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}

void BM_ParseAndVerify(benchmark::State& state) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(updateFile().data());
  for (auto _ : state) {
    tScopedStatusReport report;
    const tFirmwareImageParser parser(data, updateFile().size(), report);
    if (report.code() != 0 || parser.empty()) state.SkipWithError("the file was refused");
    benchmark::DoNotOptimize(parser.first()->data);
  }
  setRate(state);
}

void BM_Memcpy(benchmark::State& state) {
  std::vector<std::uint8_t> target(kImageSize);
  for (auto _ : state) {
    std::memcpy(target.data(), image().data(), kImageSize);
    benchmark::ClobberMemory();
  }
  setRate(state);
}

void BM_Base64Decode(benchmark::State& state) {
  const std::string& file = updateFile();
  const std::size_t payload = file.find("\r\n\r\n") + 4;
  std::vector<std::uint8_t> target(nFirmware::decodeBufferSize(file.size() - payload));
  for (auto _ : state) {
    benchmark::DoNotOptimize(nFirmware::decodeBase64(file.data() + payload, file.size() - payload, target.data()));
  }
  setRate(state);
}

void BM_Crc(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(nFirmware::crc32Castagnoli(image().data(), kImageSize));
  setRate(state);
}

BENCHMARK(BM_ParseAndVerify)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc)->Unit(benchmark::kMillisecond);

}  // namespace
