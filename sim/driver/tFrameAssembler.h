// Frames of a driver connection put together as their bytes arrive, in
// whatever pieces the socket delivers them: a 12-byte header (type,
// payload length, count of descriptors passed with the frame's first byte)
// and the payload.
//
// Memory follows what arrived, never what a header claims: small frames
// share a buffer that starts at 4 KiB and doubles only when full; a large
// payload gets a buffer of its own that doubles as it fills and is handed
// over whole. A header whose length is beyond the limit of its type, or
// that announces more descriptors than a frame can carry, refuses the
// connection at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "sim/driver/tChannelMessage.h"

namespace nKESTRELSIM {

struct tFrameHeader {
  std::uint32_t type;
  std::uint32_t length;
  std::uint32_t descriptors;  // passed with the frame's first byte
};
static_assert(sizeof(tFrameHeader) == 12);

class tFrameAssembler {
 public:
  // The largest payload of a message type.
  using tPayloadLimit = std::function<std::size_t(tChannelMessageType)>;
  static constexpr std::size_t kMaxDescriptors = 4;
  // Beyond any frame a side sends: a read answer holding a whole image.
  static constexpr std::size_t kDefaultLimit = 256u * 1024 * 1024 + 4096;

  tFrameAssembler();
  ~tFrameAssembler();
  tFrameAssembler(const tFrameAssembler&) = delete;
  tFrameAssembler& operator=(const tFrameAssembler&) = delete;

  void limitPayloads(tPayloadLimit limit) { limit_ = std::move(limit); }

  // Where the next bytes of the connection go. Never past the end of a
  // large payload, so the bytes of the next frame stay in the shared buffer.
  std::span<std::uint8_t> space();
  // `count` bytes were written into the last space(); `descriptors` came with them.
  void received(std::size_t count, const std::vector<int>& descriptors = {});

  enum class tState { kIncomplete, kFrame, kRefused };
  // A whole frame moves into `message` (its descriptors are the caller's to close).
  tState take(tChannelMessage& message);
  bool hasFrame() const noexcept;
  bool refused() const noexcept { return refused_; }
  // Bytes of memory the assembler holds for frames (for tests and limits).
  std::size_t reserved() const noexcept { return shared_.capacity() + large_.capacity(); }
  // Closes descriptors received and not taken; forgets every byte.
  void clear() noexcept;

 private:
  static constexpr std::size_t kFirstBuffer = 4096;
  static constexpr std::size_t kSharedBuffer = 128 * 1024;
  static constexpr std::size_t kLargePayload = kSharedBuffer - sizeof(tFrameHeader);

  // The header at the front of the shared buffer, when whole.
  bool frontHeader(tFrameHeader& header) const noexcept;
  // Checks a new header against the limits; moves a large payload's first
  // bytes into a buffer of its own.
  void examineFront();
  void takeDescriptors(std::uint32_t count, tChannelMessage& message);

  tPayloadLimit limit_;
  std::vector<std::uint8_t> shared_;  // [start_, end_) not taken yet
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  bool inLarge_ = false;
  tFrameHeader largeHeader_{};
  std::vector<std::uint8_t> large_;  // [0, largeFilled_) received
  std::size_t largeFilled_ = 0;
  std::vector<int> descriptors_;
  bool refused_ = false;
};

}  // namespace nKESTRELSIM
