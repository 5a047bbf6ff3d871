// The memory of a program whose request the shared driver handles, as the
// driver's models reach it (copyFromUser, copyToUser): the records that
// came with the request and the buffers the program sent on the driver's
// asking. A read of anything else does not wait for the program: it throws
// tMemoryNeeded, the driver asks the program for those bytes and handles
// the request again once they have come (models take nothing from a
// request before they have read what they need). Writes are collected and
// sent back with the answer, which the program applies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/driver/tChannelMessage.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {

// The bytes a handled request needs next from the program.
struct tMemoryNeeded {
  std::uint64_t address;
  std::uint32_t size;
};
// A read the driver refuses to ask for: larger than any frame may be.
struct tMemoryFault {};

class tRemoteMemory : public iUserMemory {
 public:
  // The largest read a request may ask of the program: a whole image.
  static constexpr std::size_t kMaxRead = 256u * 1024 * 1024;

  // `bytes` stays valid while this memory is used (it is the request's own
  // payload or an answer the driver keeps).
  void addRegion(std::uint64_t address, const std::uint8_t* bytes, std::size_t size);
  std::vector<std::uint8_t> read(std::uint64_t address, std::size_t size) override;
  void write(std::uint64_t address, const void* from, std::size_t size) override;
  // The writes, in the order made: count, then address and bytes of each.
  void putWrites(tChannelMessage& message) const;

 private:
  struct tRegion {
    std::uint64_t address;
    const std::uint8_t* bytes;
    std::size_t size;
  };
  struct tWrite {
    std::uint64_t address;
    std::vector<std::uint8_t> bytes;
  };
  const tRegion* regionHolding(std::uint64_t address, std::size_t size) const noexcept;
  // A later read of the same bytes sees what was written.
  void overlayWrites(std::uint64_t address, std::vector<std::uint8_t>& bytes) const;

  std::vector<tRegion> regions_;
  std::vector<tWrite> writes_;
};

}  // namespace nKESTRELSIM
