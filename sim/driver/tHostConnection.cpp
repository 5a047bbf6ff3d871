#include "sim/driver/tHostConnection.h"

#include <sys/socket.h>

namespace nKESTRELSIM {
namespace {

// What a well-formed message of each type can hold: a handle is 4 bytes, a
// request code and an address 8, a run of bytes 4 plus the bytes.
constexpr std::size_t kRunOf(std::size_t bytes) { return 4 + bytes; }
constexpr std::size_t kIoctlPayload = 4 + 8 + 8 + 4 + 2 * (8 + kRunOf(kMaxRecordBytes));
constexpr std::size_t kBindPayload = 4 + kRunOf(sizeof(sockaddr_storage));

}  // namespace

tHostConnection::tHostConnection(int descriptor) : channel(descriptor) {
  channel.limitPayloads([this](tChannelMessageType type) { return payloadLimit(type); });
}

std::size_t tHostConnection::payloadLimit(tChannelMessageType type) const noexcept {
  switch (type) {
    case tChannelMessageType::kOpen: return kRunOf(kMaxPathBytes);
    case tChannelMessageType::kClose:
    case tChannelMessageType::kTakeOverrun: return 4;
    case tChannelMessageType::kIoctl: return kIoctlPayload;
    case tChannelMessageType::kBind: return kBindPayload;
    case tChannelMessageType::kAdopt: return kForkTokenBytes;
    case tChannelMessageType::kReadAnswer: {
      if (pending && pending->size != 0) return kRunOf(pending->size);
      return abandonedRead ? kRunOf(*abandonedRead) : 0;
    }
    default: return 0;
  }
}

}  // namespace nKESTRELSIM
