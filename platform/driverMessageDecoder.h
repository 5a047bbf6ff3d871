// Decoding of one driver message received on the notification socket.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nKESTREL1400 {

enum class tMessageVerdict {
  kAccept,        // an event: eventType 1 or 2, cookie and data valid
  kDiscard,       // too short, inconsistent lengths or a netlink control message
  kUnknownEvent,  // an event type other than 1 or 2
  kDataTooLong,   // dataLength above 32
};

struct tDecodedMessage {
  tMessageVerdict verdict = tMessageVerdict::kDiscard;
  std::uint16_t eventType = 0;
  std::uint64_t cookie = 0;
  std::uint32_t dataLength = 0;
  const std::uint8_t* data = nullptr;  // points into the received bytes
};

// A message is acted on only when its fixed 36-byte header and its data lie
// within both the bytes received and its own length field; anything else is
// discarded like the netlink control messages (types 1 to 4).
tDecodedMessage decodeDriverMessage(const std::uint8_t* bytes, std::size_t received) noexcept;

}  // namespace nKESTREL1400
