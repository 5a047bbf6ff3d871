#include "tDriverChannel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

namespace nKESTRELSIM {
namespace {

struct tFrameHeader {
  std::uint32_t type;
  std::uint32_t length;
};

constexpr std::size_t kMaxDescriptors = 4;
constexpr std::uint32_t kMaxPayload = 1u << 30;

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

bool receiveAll(int descriptor, std::uint8_t* data, std::size_t size) {
  while (size != 0) {
    const ssize_t received = ::recv(descriptor, data, size, 0);
    if (received == -1 && errno == EINTR) continue;
    if (received <= 0) return false;
    data += received;
    size -= static_cast<std::size_t>(received);
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
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (size != 0) payload.insert(payload.end(), bytes, bytes + size);
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
  descriptor_ = -1;
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
  tFrameHeader frame{static_cast<std::uint32_t>(message.type), static_cast<std::uint32_t>(message.payload.size())};
  // The descriptors travel with the header's bytes.
  iovec vector{&frame, sizeof frame};
  msghdr header{};
  header.msg_iov = &vector;
  header.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)]{};
  const std::size_t count = std::min(message.descriptors.size(), kMaxDescriptors);
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
  const auto* frameBytes = reinterpret_cast<const std::uint8_t*>(&frame);
  if (!sendAll(descriptor_, frameBytes + sent, sizeof frame - static_cast<std::size_t>(sent))) return false;
  return sendAll(descriptor_, message.payload.data(), message.payload.size());
}

bool tDriverChannel::receive(tChannelMessage& message) {
  message.payload.clear();
  message.descriptors.clear();
  if (descriptor_ == -1) return false;
  tFrameHeader frame{};
  auto* frameBytes = reinterpret_cast<std::uint8_t*>(&frame);
  std::size_t got = 0;
  while (got < sizeof frame) {
    iovec vector{frameBytes + got, sizeof frame - got};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)]{};
    msghdr header{};
    header.msg_iov = &vector;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(descriptor_, &header, MSG_CMSG_CLOEXEC);
    if (received == -1 && errno == EINTR) continue;
    if (received <= 0) return false;
    takeDescriptors(header, message.descriptors);
    got += static_cast<std::size_t>(received);
  }
  if (frame.length > kMaxPayload) return false;
  message.type = static_cast<tChannelMessageType>(frame.type);
  message.payload.resize(frame.length);
  return receiveAll(descriptor_, message.payload.data(), message.payload.size());
}

}  // namespace nKESTRELSIM
