// The caller memory each request reaches beyond its transfer descriptor and
// records: the buffers an input record points at, and the fields of input
// records that name the caller itself (addresses, session ids, which
// differ from one run to the next and are not compared on replay).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace nKESTRELSIM {

enum class tBufferUse {
  kRead,     // the driver reads it (a value to set, an image, seeds)
  kWritten,  // the driver writes it (a value read, results)
};

struct tBufferField {
  std::uint32_t code;
  std::uint32_t addressAt;  // offset of the 64-bit address in the input record
  std::uint32_t countAt;    // offset of the 32-bit count
  std::uint32_t elementSize;
  tBufferUse use;
};

struct tCallerField {
  std::uint32_t code;
  std::uint32_t offset;
  std::uint32_t size;
};

// The largest buffer recorded: the largest image a driver takes.
inline constexpr std::uint64_t kMaxRecordedBuffer = 256u * 1024 * 1024;

std::span<const tBufferField> buffersOf(std::uint32_t code);
// The input record with every caller field zeroed, for comparing.
std::vector<std::uint8_t> comparableInput(std::uint32_t code, std::span<const std::uint8_t> input);
// A buffer's address and size as the input record names them; size 0 when
// the record is too short or the size is beyond kMaxRecordedBuffer.
struct tBufferPlace {
  std::uint64_t address = 0;
  std::uint64_t size = 0;
};
tBufferPlace placeOf(const tBufferField& field, std::span<const std::uint8_t> input);

}  // namespace nKESTRELSIM
