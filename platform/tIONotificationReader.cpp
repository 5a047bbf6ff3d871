#include "platform/tIONotificationReader.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "kestrel/kestrel.h"
#include "platform/driverMessageDecoder.h"
#include "platform/driverWireFormat.h"
#include "platform/errnoToStatus.h"
#include "platform/tIONotification.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr const char* kFile = "tIONotification";

void raise(tStatus& status, std::int32_t code, std::uint32_t line) noexcept {
  status.setCode(code, kComponent, kFile, line);
}

void raiseErrno(tStatus& status, std::uint32_t line) noexcept { raise(status, errnoToStatus(errno), line); }

sockaddr_nl netlinkAddress() noexcept {
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  return address;
}

void closeIfOpen(int& descriptor) noexcept {
  if (descriptor != -1) ::close(descriptor);
  descriptor = -1;
}

}  // namespace

tIONotificationReader::tIONotificationReader(std::uint64_t queueDepth, tStatus& status) noexcept {
  createPipe(status);
  createSocket(queueDepth, status);
  if (status.isNotError()) readPortId(status);
}

tIONotificationReader::~tIONotificationReader() {
  for (tIONotification* notification : registry_.takeAll()) notification->forgetReader();
  closeIfOpen(wakeWrite_);
  closeIfOpen(wakeRead_);
  closeIfOpen(socket_);
}

void tIONotificationReader::createPipe(tStatus& status) noexcept {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) == -1) {
    raiseErrno(status, 21);
    return;
  }
  wakeRead_ = ends[0];
  wakeWrite_ = ends[1];
}

void tIONotificationReader::createSocket(std::uint64_t queueDepth, tStatus& status) noexcept {
  if (queueDepth > std::numeric_limits<std::uint32_t>::max()) raise(status, brioerr_invalidParameter, 51);
  if (status.isError()) return;
  socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC);
  if (socket_ == -1) {
    raiseErrno(status, 60);
    return;
  }
  int current = 0;
  socklen_t optionSize = sizeof current;
  const std::uint64_t needed = (queueDepth + 1) * nDriverWire::kMessageBufferSize;
  if (getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &current, &optionSize) == -1) {
    raiseErrno(status, 67);
  } else if (needed > static_cast<std::uint64_t>(std::max(current, 0))) {
    const int wanted = static_cast<int>(std::min<std::uint64_t>(needed, std::numeric_limits<int>::max()));
    if (setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted) == -1) raiseErrno(status, 75);
  }
  const sockaddr_nl address = netlinkAddress();
  if (status.isNotError() &&
      bind(socket_, reinterpret_cast<const sockaddr*>(&address), nDriverWire::kNetlinkAddressSize) == -1) {
    raiseErrno(status, 84);
  }
  if (status.isError()) closeIfOpen(socket_);
}

void tIONotificationReader::readPortId(tStatus& status) noexcept {
  sockaddr_nl address = netlinkAddress();
  socklen_t addressSize = nDriverWire::kNetlinkAddressSize;
  if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &addressSize) == -1) {
    raiseErrno(status, 101);
    portId_ = std::numeric_limits<std::uint32_t>::max();
    return;
  }
  portId_ = address.nl_pid;
}

tIONotification* tIONotificationReader::wait(tKind& kind, void* data, std::uint32_t& size, tStatus& status,
                                             int timeoutMs) noexcept {
  if (status.isError()) return nullptr;
  for (;;) {
    pollfd descriptors[2] = {{socket_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int ready = poll(descriptors, 2, timeoutMs);
    if (ready == -1) {
      if (errno == EINTR) continue;
      raise(status, brioerr_systemError, 203);
      return nullptr;
    }
    if (ready == 0) {
      raise(status, brioerr_timeout, 199);
      return nullptr;
    }
    if ((descriptors[0].revents & POLLIN) != 0) {
      // A discarded message sends us back to poll; a wake-up that is
      // already due ends the wait, however many messages keep coming.
      bool discarded = false;
      tIONotification* notification = receive(kind, data, size, status, discarded);
      if (!discarded) return notification;
      if ((descriptors[1].revents & POLLIN) == 0) continue;
      consumeWakeUp(kind, size);
      return nullptr;
    }
    if ((descriptors[1].revents & POLLIN) != 0) consumeWakeUp(kind, size);
    return nullptr;
  }
}

void tIONotificationReader::consumeWakeUp(tKind& kind, std::uint32_t& size) noexcept {
  char wakeByte = 0;
  while (::read(wakeRead_, &wakeByte, 1) == -1 && errno == EINTR) {
  }
  size = 0;
  kind = kCancelled;
}

tIONotification* tIONotificationReader::receive(tKind& kind, void* data, std::uint32_t& size, tStatus& status,
                                                bool& discarded) noexcept {
  alignas(8) std::uint8_t buffer[nDriverWire::kMessageBufferSize];
  sockaddr_nl source{};
  iovec part{buffer, sizeof buffer};
  msghdr header{};
  header.msg_name = &source;
  header.msg_namelen = nDriverWire::kNetlinkAddressSize;
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  ssize_t received = 0;
  while ((received = recvmsg(socket_, &header, 0)) == -1 && errno == EINTR) {
  }
  if (received == -1) {
    // ENOBUFS: the queue overflowed and messages were lost, but the socket
    // goes on receiving; the caller learns of the loss once.
    raise(status, errno == ENOBUFS ? brioerr_noBuffers : brioerr_ioFailure, 128);
    return nullptr;
  }
  const tDecodedMessage message = decodeDriverMessage(buffer, static_cast<std::size_t>(received));
  if (message.verdict == tMessageVerdict::kDiscard) {
    discarded = true;
    return nullptr;
  }
  if (message.verdict == tMessageVerdict::kUnknownEvent) {
    raise(status, brioerr_notSupported, 154);
    return nullptr;
  }
  kind = message.eventType == nDriverWire::kEventNotify ? kNotify : kEnd;
  if (message.verdict == tMessageVerdict::kDataTooLong) {
    raise(status, brioerr_ioFailure, 160);
    return nullptr;
  }
  // The cookie comes from outside the process: act on it only when it names
  // a notification registered with this reader.
  tIONotification* notification = registry_.find(message.cookie, kind == kEnd);
  if (notification == nullptr) {
    discarded = true;
    return nullptr;
  }
  size = message.dataLength;
  if (size != 0) std::memcpy(data, message.data, size);
  return notification;
}

void tIONotificationReader::cancel(tStatus& status) noexcept {
  if (status.isError()) return;
  ssize_t written = 0;
  while ((written = ::write(wakeWrite_, "q", 1)) == -1 && errno == EINTR) {
  }
  if (written != 1) raise(status, brioerr_ioFailure, 216);
}

bool tIONotificationReader::waitForWakeUp(int timeoutMs) noexcept {
  pollfd wake{wakeRead_, POLLIN, 0};
  if (poll(&wake, 1, timeoutMs) != 1 || (wake.revents & POLLIN) == 0) return false;
  tKind kind = kCancelled;
  std::uint32_t size = 0;
  consumeWakeUp(kind, size);
  return true;
}

}  // namespace nKESTREL1400::nBRIO000
