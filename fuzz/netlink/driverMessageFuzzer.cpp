// Driver messages as they come off the notification socket: any bytes,
// up to the reader's 72-byte buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/driverMessageDecoder.h"
#include "platform/driverWireFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size > nKESTREL1400::nDriverWire::kMessageBufferSize) size = nKESTREL1400::nDriverWire::kMessageBufferSize;
  const auto message = nKESTREL1400::decodeDriverMessage(bytes, size);
  if (message.verdict != nKESTREL1400::tMessageVerdict::kAccept) return 0;
  // An accepted message's data lies within the bytes received.
  const std::size_t end = static_cast<std::size_t>(message.data - bytes) + message.dataLength;
  if (end > size || message.dataLength > nKESTREL1400::nDriverWire::kMaxEventData) std::abort();
  volatile std::uint8_t sink = 0;
  for (std::uint32_t i = 0; i < message.dataLength; ++i) sink = sink + message.data[i];
  return 0;
}
