#include "platform/driverMessageDecoder.h"

#include <cstring>

#include "platform/driverWireFormat.h"

namespace nKESTREL1400 {
namespace {

using namespace nDriverWire;

template <class Value>
Value readField(const std::uint8_t* bytes, std::size_t offset) {
  Value value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

bool isControlType(std::uint16_t type) { return type >= kFirstControlType && type <= kLastControlType; }

}  // namespace

tDecodedMessage decodeDriverMessage(const std::uint8_t* bytes, std::size_t received) noexcept {
  tDecodedMessage message;
  if (received < kNetlinkHeaderSize) return message;
  const auto length = readField<std::uint32_t>(bytes, offsetof(tDriverMessage, length));
  if (length < kNetlinkHeaderSize || length > received) return message;
  if (isControlType(readField<std::uint16_t>(bytes, offsetof(tDriverMessage, type)))) return message;
  if (length < kMessageHeaderSize) return message;

  message.eventType = readField<std::uint16_t>(bytes, offsetof(tDriverMessage, eventType));
  if (message.eventType != kEventNotify && message.eventType != kEventEnd) {
    message.verdict = tMessageVerdict::kUnknownEvent;
    return message;
  }
  message.dataLength = readField<std::uint32_t>(bytes, offsetof(tDriverMessage, dataLength));
  if (message.dataLength > kMaxEventData) {
    message.verdict = tMessageVerdict::kDataTooLong;
    return message;
  }
  if (kMessageHeaderSize + message.dataLength > length) {
    message.dataLength = 0;
    return message;
  }
  message.cookie = readField<std::uint64_t>(bytes, offsetof(tDriverMessage, cookie));
  message.data = bytes + kMessageHeaderSize;
  message.verdict = tMessageVerdict::kAccept;
  return message;
}

}  // namespace nKESTREL1400
