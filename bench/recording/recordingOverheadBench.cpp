// What recording adds to a request: a getAttribute request (transfer
// descriptor, input record, value buffer, output record) made straight to
// the driver beneath, and made through the recorder, which reads the
// caller memory before and after the call and appends the line to a
// recording file. The device beneath answers at once (ENOTTY from
// /dev/null), so the difference of the two is what the recorder adds.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/libc/realLibc.h"
#include "sim/record/recordingFormat.h"
#include "sim/recorder/recordRequest.h"
#include "sim/recorder/tRecorder.h"

namespace {

namespace nWire = nKESTREL1400::nDriverWire;

struct tRequest {
  std::uint32_t value = 0;
  nWire::tAttributeInput input{};
  nWire::tValueOutput output{};
  nWire::tTransferDescriptor descriptor{};

  tRequest() {
    input.attributeId = KESTREL_WATCHDOG_ATTR_TIMEOUT;
    input.valueAddress = reinterpret_cast<std::uint64_t>(&value);
    input.valueSize = sizeof value;
    descriptor.inputAddress = reinterpret_cast<std::uint64_t>(&input);
    descriptor.inputSize = sizeof input;
    descriptor.outputAddress = reinterpret_cast<std::uint64_t>(&output);
    descriptor.outputSize = sizeof output;
  }
};

std::string recordingPath() {
  static const std::string path = (std::filesystem::temp_directory_path() / "kestrel-bench-recording.krec").string();
  return path;
}

nKESTRELSIM::tRecorder& recorder() {
  static nKESTRELSIM::tRecorder* const active = [] {
    const std::string path = recordingPath();
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (file == -1) std::abort();
    ::close(file);
    std::atexit([] { ::unlink(recordingPath().c_str()); });
    setenv(nKESTRELSIM::nRecording::kFileVariable, path.c_str(), 1);
    return nKESTRELSIM::tRecorder::active();
  }();
  return *active;
}

void BM_RequestStraight(benchmark::State& state) {
  const int device = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  tRequest request;
  for (auto _ : state) {
    benchmark::DoNotOptimize(nKESTRELSIM::nRealLibc::ioctl(device, nWire::kGetAttribute, &request.descriptor));
  }
  ::close(device);
}
BENCHMARK(BM_RequestStraight);

// The file is emptied now and then (outside the timing), as a long
// recording would otherwise fill the disk.
void BM_RequestRecorded(benchmark::State& state) {
  auto& active = recorder();
  const int device = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  tRequest request;
  std::size_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(nKESTRELSIM::recordRequest(active, device, nWire::kGetAttribute, &request.descriptor));
    if (++count % 20000 == 0) {
      state.PauseTiming();
      if (::truncate(recordingPath().c_str(), 0) != 0) {
        state.SkipWithError("cannot empty the recording file");
        break;
      }
      state.ResumeTiming();
    }
  }
  ::close(device);
}
BENCHMARK(BM_RequestRecorded);

}  // namespace
