// One request as the simulated driver sees it: the request code, a copy of
// the input record and the output record that is copied back to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace nKESTRELSIM {

// Records and attribute values are small; the driver refuses larger ones
// rather than take their size on trust (a caller's fault must not exhaust
// the driver).
inline constexpr std::uint32_t kMaxRecordBytes = 64 * 1024;

struct tDriverRequest {
  std::uint32_t code = 0;
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;  // zeroed, the caller's output size
  std::uint32_t result = 0;          // the transfer descriptor's result field
  int error = 0;                     // errno that fails the ioctl; 0 answers it
  std::uint64_t opener = 0;          // the open device file the request came through
  // How many leading bytes of `output` reach the caller: all of them unless
  // the driver copies back a short record (or nothing at all).
  std::size_t copiedBack = static_cast<std::size_t>(-1);

  std::size_t bytesCopiedBack() const noexcept { return copiedBack < output.size() ? copiedBack : output.size(); }

  // The input record, when the caller sent exactly its size; otherwise the
  // request fails with EINVAL, as a driver checking sizes would.
  template <class Record>
  bool readInput(Record& record) {
    if (input.size() != sizeof(Record) || output.empty()) {
      error = 22;  // EINVAL
      return false;
    }
    std::memcpy(&record, input.data(), sizeof record);
    return true;
  }

  // Writes the output record; a caller whose output size differs gets EINVAL.
  template <class Record>
  void writeOutput(const Record& record) {
    if (output.size() != sizeof(Record)) {
      error = 22;  // EINVAL
      return;
    }
    std::memcpy(output.data(), &record, sizeof record);
  }
};

}  // namespace nKESTRELSIM
