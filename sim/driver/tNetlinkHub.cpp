#include "sim/driver/tNetlinkHub.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/driverWireFormat.h"
#include "sim/libc/descriptorPlacement.h"
#include "sim/libc/realLibc.h"

namespace nKESTRELSIM {

using nKESTREL1400::nDriverWire::kNetlinkAddressSize;

int tNetlinkHub::create(int type) {
  const int flags = type & (SOCK_CLOEXEC | SOCK_NONBLOCK);
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_DGRAM | flags, 0, ends) == -1) return -1;
  // The program's end is its own socket, at the descriptor it would get;
  // the driver's end stays clear of the standard streams.
  ends[1] = aboveStandardStreams(ends[1]);
  if (ends[1] == -1) {
    const int error = errno;
    nRealLibc::close(ends[0]);
    errno = error;
    return -1;
  }
  adopt(ends[0], ends[1]);
  return ends[0];
}

void tNetlinkHub::adopt(int programEnd, int driverEnd) {
  // The driver's end never blocks and stays out of child processes.
  fcntl(driverEnd, F_SETFL, O_NONBLOCK);
  fcntl(driverEnd, F_SETFD, FD_CLOEXEC);
  sockets_[programEnd] = tSocket{driverEnd, 0};
}

int tNetlinkHub::bind(int descriptor, const sockaddr* address, socklen_t size, std::uint32_t processId,
                      std::uint32_t& port) {
  if (address == nullptr || size < kNetlinkAddressSize || address->sa_family != AF_NETLINK) {
    errno = EINVAL;
    return -1;
  }
  sockaddr_nl requested{};
  std::memcpy(&requested, address, sizeof requested);
  tSocket& socket = sockets_.at(descriptor);
  if (socket.portId != 0) {
    errno = EINVAL;
    return -1;
  }
  auto taken = [&](std::uint32_t candidate) {
    return std::any_of(sockets_.begin(), sockets_.end(),
                       [&](const auto& entry) { return entry.second.portId == candidate; });
  };
  if (requested.nl_pid == 0) {
    // The process id while it is free, else the kernel's style of negative ids.
    requested.nl_pid = processId;
    while (taken(requested.nl_pid)) requested.nl_pid = 0x80000000u + ++nextPort_;
  }
  if (taken(requested.nl_pid)) {
    errno = EADDRINUSE;
    return -1;
  }
  socket.portId = requested.nl_pid;
  port = socket.portId;
  return 0;
}

int tNetlinkHub::getsockname(int descriptor, sockaddr* address, socklen_t* size) const {
  return writeName(sockets_.at(descriptor).portId, address, size);
}

int tNetlinkHub::writeName(std::uint32_t port, sockaddr* address, socklen_t* size) {
  if (address == nullptr || size == nullptr) {
    errno = EFAULT;
    return -1;
  }
  sockaddr_nl name{};
  name.nl_family = AF_NETLINK;
  name.nl_pid = port;
  std::memcpy(address, &name, std::min<std::size_t>(*size, sizeof name));
  *size = kNetlinkAddressSize;
  return 0;
}

void tNetlinkHub::setKernelSource(msghdr* message) {
  if (message->msg_name == nullptr) return;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  std::memcpy(message->msg_name, &kernel, std::min<std::size_t>(message->msg_namelen, sizeof kernel));
  message->msg_namelen = kNetlinkAddressSize;
}

bool tNetlinkHub::send(std::uint32_t portId, std::span<const std::uint8_t> bytes) {
  for (auto& [descriptor, socket] : sockets_) {
    if (socket.portId != portId || portId == 0) continue;
    if (socket.hungUp) return false;
    const ssize_t sent = ::send(socket.driverEnd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent == -1 && (errno == EAGAIN || errno == ENOBUFS)) socket.overrun = true;
    return sent == static_cast<ssize_t>(bytes.size());
  }
  return false;
}

bool tNetlinkHub::takeOverrun(int descriptor) {
  const auto found = sockets_.find(descriptor);
  if (found == sockets_.end() || !found->second.overrun) return false;
  found->second.overrun = false;
  return true;
}

void tNetlinkHub::release(int descriptor) {
  const auto found = sockets_.find(descriptor);
  if (found == sockets_.end()) return;
  nRealLibc::close(found->second.driverEnd);
  sockets_.erase(found);
}

void tNetlinkHub::clear() {
  for (const auto& [descriptor, socket] : sockets_) nRealLibc::close(socket.driverEnd);
  sockets_.clear();
  nextPort_ = 0;
}

std::size_t tNetlinkHub::hangUp() {
  std::size_t count = 0;
  for (auto& [descriptor, socket] : sockets_) {
    if (socket.hungUp) continue;
    // Shutting the program's end down wakes a poll or a receive that waits on it.
    ::shutdown(descriptor, SHUT_RDWR);
    socket.hungUp = true;
    ++count;
  }
  return count;
}

short tNetlinkHub::hungUpEvents(const pollfd& entry) {
  char byte = 0;
  const bool queued = ::recv(entry.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
  return static_cast<short>(POLLHUP | (queued ? entry.events & POLLIN : 0));
}

int tNetlinkHub::markHangUps(pollfd* descriptors, nfds_t count) const {
  int ready = 0;
  for (nfds_t i = 0; i < count; ++i) {
    const auto found = sockets_.find(descriptors[i].fd);
    if (found != sockets_.end() && found->second.hungUp) descriptors[i].revents = hungUpEvents(descriptors[i]);
    if (descriptors[i].revents != 0) ++ready;
  }
  return ready;
}

std::vector<std::uint32_t> tNetlinkHub::ports() const {
  std::vector<std::uint32_t> ports;
  for (const auto& [descriptor, socket] : sockets_) ports.push_back(socket.portId);
  return ports;
}

}  // namespace nKESTRELSIM
