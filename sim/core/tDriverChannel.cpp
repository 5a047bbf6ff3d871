#include "tDriverChannel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace nKESTRELSIM {
namespace {

struct tFrameHeader {
  std::uint32_t type;
  std::uint32_t length;
  std::uint32_t descriptors;  // passed with the frame's first byte
};

constexpr std::size_t kMaxDescriptors = 4;
constexpr std::uint32_t kMaxPayload = 1u << 30;
constexpr std::size_t kReceiveChunk = 64 * 1024;

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

void takeDescriptors(msghdr& header, std::vector<int>& descriptors) {
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

}  // namespace

void tChannelMessage::putBytes(const void* data, std::size_t size) {
  put(static_cast<std::uint32_t>(size));
  if (size == 0) return;
  const std::size_t at = payload.size();
  payload.resize(at + size);
  std::memcpy(payload.data() + at, data, size);
}

const std::uint8_t* tPayloadReader::getBytes(std::size_t& size) noexcept {
  size = get<std::uint32_t>();
  if (failed_ || size > payload_.size() - position_) {
    failed_ = true;
    size = 0;
    return nullptr;
  }
  const std::uint8_t* bytes = payload_.data() + position_;
  position_ += size;
  return bytes;
}

std::string tPayloadReader::getText() {
  std::size_t size = 0;
  const std::uint8_t* bytes = getBytes(size);
  return bytes == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(bytes), size);
}

tDriverChannel::~tDriverChannel() { close(); }

void tDriverChannel::close() noexcept {
  if (descriptor_ != -1) ::close(descriptor_);
  for (const int passed : descriptors_) ::close(passed);
  abandon();
}

void tDriverChannel::abandon() noexcept {
  descriptor_ = -1;
  descriptors_.clear();
  start_ = end_ = 0;
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
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
  tFrameHeader frame{static_cast<std::uint32_t>(message.type), static_cast<std::uint32_t>(message.payload.size()),
                     static_cast<std::uint32_t>(count)};
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
  return ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC);
}

bool tDriverChannel::hasFrame() const noexcept {
  if (end_ - start_ < sizeof(tFrameHeader)) return false;
  tFrameHeader frame{};
  std::memcpy(&frame, buffer_.data() + start_, sizeof frame);
  return end_ - start_ - sizeof frame >= frame.length;
}

bool tDriverChannel::takeFrame(tChannelMessage& message) {
  const std::size_t available = end_ - start_;
  if (available < sizeof(tFrameHeader)) return false;
  tFrameHeader frame{};
  std::memcpy(&frame, buffer_.data() + start_, sizeof frame);
  if (available - sizeof frame < frame.length) return false;
  const std::uint8_t* payload = buffer_.data() + start_ + sizeof frame;
  message.type = static_cast<tChannelMessageType>(frame.type);
  message.payload.assign(payload, payload + frame.length);
  const std::size_t count = std::min<std::size_t>(frame.descriptors, descriptors_.size());
  message.descriptors.assign(descriptors_.begin(), descriptors_.begin() + static_cast<std::ptrdiff_t>(count));
  descriptors_.erase(descriptors_.begin(), descriptors_.begin() + static_cast<std::ptrdiff_t>(count));
  start_ += sizeof frame + frame.length;
  if (start_ == end_) start_ = end_ = 0;
  return true;
}

bool tDriverChannel::receive(tChannelMessage& message) {
  message.payload.clear();
  message.descriptors.clear();
  if (descriptor_ == -1) return false;
  while (!takeFrame(message)) {
    // Room for a whole frame, or at least a chunk, behind what is there.
    std::size_t wanted = kReceiveChunk;
    if (end_ - start_ >= sizeof(tFrameHeader)) {
      tFrameHeader frame{};
      std::memcpy(&frame, buffer_.data() + start_, sizeof frame);
      if (frame.length > kMaxPayload) return false;
      wanted = std::max(wanted, sizeof frame + frame.length - (end_ - start_));
    }
    if (start_ != 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    if (buffer_.size() < end_ + wanted) buffer_.resize(end_ + wanted);
    iovec vector{buffer_.data() + end_, buffer_.size() - end_};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)]{};
    msghdr header{};
    header.msg_iov = &vector;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t received = receiveSpinning(header);
    while (received == -1 && errno == EINTR) received = ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC);
    if (received <= 0) return false;
    end_ += static_cast<std::size_t>(received);
    takeDescriptors(header, descriptors_);
  }
  return true;
}

}  // namespace nKESTRELSIM
