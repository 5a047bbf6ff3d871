#include "sim/driver/tDriverChannel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "sim/libc/descriptorPlacement.h"

namespace nKESTRELSIM {
namespace {

constexpr std::size_t kMaxDescriptors = tFrameAssembler::kMaxDescriptors;

bool sendAll(int descriptor, const std::uint8_t* data, std::size_t size) {
  while (size != 0) {
    const ssize_t sent = ::send(descriptor, data, size, MSG_NOSIGNAL);
    if (sent == -1 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

void collectDescriptors(msghdr& header, std::vector<int>& descriptors) {
  for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr; control = CMSG_NXTHDR(&header, control)) {
    if (control->cmsg_level != SOL_SOCKET || control->cmsg_type != SCM_RIGHTS) continue;
    const std::size_t count = (control->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int received = -1;
      std::memcpy(&received, CMSG_DATA(control) + i * sizeof(int), sizeof received);
      descriptors.push_back(received);
    }
  }
}

tFrameHeader headerOf(const tChannelMessage& message, std::size_t descriptors) {
  return {static_cast<std::uint32_t>(message.type), static_cast<std::uint32_t>(message.payload.size()),
          static_cast<std::uint32_t>(descriptors)};
}

}  // namespace

tDriverChannel::~tDriverChannel() { close(); }

void tDriverChannel::close() noexcept {
  if (descriptor_ != -1) ::close(descriptor_);
  abandon();
}

void tDriverChannel::abandon() noexcept {
  descriptor_ = -1;
  frames_.clear();
  queued_ = {};
  queuedStart_ = 0;
}

bool tDriverChannel::connect(const std::string& path) {
  close();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int descriptor = aboveStandardStreams(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (descriptor == -1) return false;
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == -1) {
    const int error = errno;
    ::close(descriptor);
    errno = error;
    return false;
  }
  descriptor_ = descriptor;
  return true;
}

bool tDriverChannel::send(const tChannelMessage& message) noexcept {
  if (descriptor_ == -1) return false;
  const std::size_t count = std::min(message.descriptors.size(), kMaxDescriptors);
  tFrameHeader frame = headerOf(message, count);
  // Header and payload in one call; the descriptors travel with the first byte.
  iovec vectors[2] = {{&frame, sizeof frame},
                      {const_cast<std::uint8_t*>(message.payload.data()), message.payload.size()}};
  msghdr header{};
  header.msg_iov = vectors;
  header.msg_iovlen = message.payload.empty() ? 1 : 2;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)]{};
  if (count != 0) {
    header.msg_control = control;
    header.msg_controllen = CMSG_SPACE(sizeof(int) * count);
    cmsghdr* entry = CMSG_FIRSTHDR(&header);
    entry->cmsg_level = SOL_SOCKET;
    entry->cmsg_type = SCM_RIGHTS;
    entry->cmsg_len = CMSG_LEN(sizeof(int) * count);
    std::memcpy(CMSG_DATA(entry), message.descriptors.data(), sizeof(int) * count);
  }
  ssize_t sent = -1;
  do {
    sent = ::sendmsg(descriptor_, &header, MSG_NOSIGNAL);
  } while (sent == -1 && errno == EINTR);
  if (sent <= 0) return false;
  // The rest of a frame the socket took only in part.
  auto done = static_cast<std::size_t>(sent);
  if (done < sizeof frame) {
    if (!sendAll(descriptor_, reinterpret_cast<const std::uint8_t*>(&frame) + done, sizeof frame - done)) return false;
    done = sizeof frame;
  }
  done -= sizeof frame;
  return sendAll(descriptor_, message.payload.data() + done, message.payload.size() - done);
}

// An answer that comes within the spin time is taken without sleeping: a
// thread that sleeps in the kernel, on an otherwise idle processor, takes
// longer to wake than the whole exchange takes.
ssize_t tDriverChannel::receiveSpinning(msghdr& header) noexcept {
  if (spin_.count() > 0) {
    const auto until = std::chrono::steady_clock::now() + spin_;
    do {
      const ssize_t received = ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
      if (received != -1 || (errno != EAGAIN && errno != EINTR)) return received;
      __builtin_ia32_pause();
    } while (std::chrono::steady_clock::now() < until);
  }
  ssize_t received = -1;
  do {
    received = ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC);
  } while (received == -1 && errno == EINTR);
  return received;
}

ssize_t tDriverChannel::receiveSome(bool wait) {
  const std::span<std::uint8_t> space = frames_.space();
  if (space.empty()) {
    errno = EPROTO;
    return -1;
  }
  iovec vector{space.data(), space.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)]{};
  msghdr header{};
  header.msg_iov = &vector;
  header.msg_iovlen = 1;
  header.msg_control = control;
  header.msg_controllen = sizeof control;
  ssize_t received = -1;
  if (wait) {
    received = receiveSpinning(header);
  } else {
    do {
      received = ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    } while (received == -1 && errno == EINTR);
  }
  if (received <= 0) return received;
  std::vector<int> descriptors;
  collectDescriptors(header, descriptors);
  frames_.received(static_cast<std::size_t>(received), descriptors);
  bytesReceived_ += static_cast<std::uint64_t>(received);
  return received;
}

bool tDriverChannel::receive(tChannelMessage& message) {
  message.payload.clear();
  message.descriptors.clear();
  if (descriptor_ == -1) return false;
  for (;;) {
    const tFrameAssembler::tState state = frames_.take(message);
    if (state == tFrameAssembler::tState::kFrame) return true;
    if (state == tFrameAssembler::tState::kRefused || receiveSome(true) <= 0) return false;
  }
}

tDriverChannel::tReceived tDriverChannel::receiveAvailable(tChannelMessage& message, std::size_t budget) {
  if (descriptor_ == -1) return tReceived::kEnded;
  std::size_t read = 0;
  for (;;) {
    const tFrameAssembler::tState state = frames_.take(message);
    if (state == tFrameAssembler::tState::kFrame) return tReceived::kFrame;
    if (state == tFrameAssembler::tState::kRefused) return tReceived::kEnded;
    if (read >= budget) return tReceived::kPending;
    const ssize_t received = receiveSome(false);
    if (received == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) return tReceived::kPending;
    if (received <= 0) return tReceived::kEnded;
    read += static_cast<std::size_t>(received);
  }
}

bool tDriverChannel::queue(const tChannelMessage& message) {
  if (descriptor_ == -1) return false;
  const tFrameHeader frame = headerOf(message, 0);
  if (queued_.size() - queuedStart_ + sizeof frame + message.payload.size() > kMaxQueued) return false;
  if (queuedStart_ == queued_.size()) {
    queued_.clear();
    queuedStart_ = 0;
  }
  const auto* header = reinterpret_cast<const std::uint8_t*>(&frame);
  queued_.insert(queued_.end(), header, header + sizeof frame);
  queued_.insert(queued_.end(), message.payload.begin(), message.payload.end());
  return flush();
}

bool tDriverChannel::flush() {
  while (hasQueued()) {
    const ssize_t sent =
        ::send(descriptor_, queued_.data() + queuedStart_, queued_.size() - queuedStart_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent == -1 && errno == EINTR) continue;
    if (sent == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (sent <= 0) return false;
    queuedStart_ += static_cast<std::size_t>(sent);
  }
  queued_.clear();
  queuedStart_ = 0;
  return true;
}

}  // namespace nKESTRELSIM
