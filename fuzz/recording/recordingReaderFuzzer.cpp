// libFuzzer target over the recording reader (kestrel-sim --replay FILE):
// any bytes are read or refused with a line number, never anything else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/record/tRecordingReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto recording =
        nKESTRELSIM::readRecording(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& exchange : recording.exchanges) {
      if (exchange.line < 2) __builtin_trap();
    }
  } catch (const nKESTRELSIM::tRecordingError& error) {
    if (error.line() == 0) __builtin_trap();
  }
  return 0;
}
