// The interposed calls on notification sockets: those of this process's
// own driver live in the netlink hub, those of a shared driver with the
// driver client; every other socket is the C library's.
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "sim/driver/tDriverClient.h"
#include "sim/libc/realLibc.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

bool tSimulator::ownsSocket(int descriptor) const {
  return hub_.owns(descriptor) || (driver_ && driver_->ownsSocket(descriptor));
}

int tSimulator::createSocket(int domain, int type, int protocol) {
  if (domain != AF_NETLINK || protocol != NETLINK_GENERIC) return nRealLibc::socket(domain, type, protocol);
  std::lock_guard lock(lock_);
  noteSimulatedUse();
  if (faulted(tCall::kSocket)) return -1;
  return driver_ ? driver_->createSocket(type) : hub_.create(type);
}

int tSimulator::bindSocket(int descriptor, const sockaddr* address, socklen_t size) {
  std::lock_guard lock(lock_);
  const bool remote = driver_ && driver_->ownsSocket(descriptor);
  if (!remote && !hub_.owns(descriptor)) return nRealLibc::bind(descriptor, address, size);
  if (faulted(tCall::kBind)) return -1;
  if (remote) return driver_->bind(descriptor, address, size);
  std::uint32_t port = 0;
  return hub_.bind(descriptor, address, size, static_cast<std::uint32_t>(getpid()), port);
}

int tSimulator::socketName(int descriptor, sockaddr* address, socklen_t* size) {
  std::lock_guard lock(lock_);
  const bool remote = driver_ && driver_->ownsSocket(descriptor);
  if (!remote && !hub_.owns(descriptor)) return nRealLibc::getsockname(descriptor, address, size);
  if (faulted(tCall::kGetsockname)) return -1;
  return remote ? driver_->getsockname(descriptor, address, size) : hub_.getsockname(descriptor, address, size);
}

int tSimulator::getSocketOption(int descriptor, int level, int name, void* value, socklen_t* size) {
  {
    std::lock_guard lock(lock_);
    if (ownsSocket(descriptor) && faulted(tCall::kGetsockopt)) return -1;
  }
  return nRealLibc::getsockopt(descriptor, level, name, value, size);
}

int tSimulator::setSocketOption(int descriptor, int level, int name, const void* value, socklen_t size) {
  {
    std::lock_guard lock(lock_);
    if (ownsSocket(descriptor) && faulted(tCall::kSetsockopt)) return -1;
  }
  return nRealLibc::setsockopt(descriptor, level, name, value, size);
}

ssize_t tSimulator::receiveMessage(int descriptor, msghdr* message, int flags) {
  {
    std::unique_lock lock(lock_);
    if (!ownsSocket(descriptor)) {
      lock.unlock();
      return nRealLibc::recvmsg(descriptor, message, flags);
    }
    if (faulted(tCall::kRecvmsg)) return -1;
    if (hub_.takeOverrun(descriptor) || (driver_ && driver_->takeOverrun(descriptor))) {
      errno = ENOBUFS;
      return -1;
    }
  }
  // Blocks without the lock; the peer is unnamed, the source is the kernel.
  void* name = message->msg_name;
  const socklen_t nameSize = message->msg_namelen;
  message->msg_name = nullptr;
  message->msg_namelen = 0;
  const ssize_t received = nRealLibc::recvmsg(descriptor, message, flags);
  const int error = errno;
  message->msg_name = name;
  message->msg_namelen = nameSize;
  if (received >= 0) tNetlinkHub::setKernelSource(message);
  errno = error;
  return received;
}

int tSimulator::pollDescriptors(pollfd* descriptors, nfds_t count, int timeoutMs) {
  bool simulated = false;
  {
    std::lock_guard lock(lock_);
    for (nfds_t i = 0; i < count; ++i) simulated = simulated || ownsSocket(descriptors[i].fd);
    if (simulated && faulted(tCall::kPoll)) return -1;
  }
  if (!simulated) return nRealLibc::poll(descriptors, count, timeoutMs);
  if (driver_) return pollServed(descriptors, count, timeoutMs);
  const int ready = pollUntilDeadlines(descriptors, count, timeoutMs);
  if (ready <= 0) return ready;
  std::lock_guard lock(lock_);
  return hub_.markHangUps(descriptors, count);
}

// A poll on a simulated socket ends at each watchdog deadline, lets the
// timer expire and goes on: the expiry reaches a waiting program on time,
// without a thread of the simulator's own.
int tSimulator::pollUntilDeadlines(pollfd* descriptors, nfds_t count, int timeoutMs) {
  using namespace std::chrono;
  const auto begin = steady_clock::now();
  for (;;) {
    std::optional<steady_clock::time_point> deadline;
    {
      std::lock_guard lock(lock_);
      expireDueWatchdogs();
      deadline = nextRealDeadline();
    }
    const auto now = steady_clock::now();
    const long long elapsed = duration_cast<milliseconds>(now - begin).count();
    long long slice = timeoutMs < 0 ? -1 : std::max<long long>(timeoutMs - elapsed, 0);
    if (deadline) {
      const long long untilDeadline = std::max<long long>(ceil<milliseconds>(*deadline - now).count(), 0);
      slice = slice < 0 ? untilDeadline : std::min(slice, untilDeadline);
    }
    const int ready = nRealLibc::poll(descriptors, count, static_cast<int>(std::min<long long>(slice, INT_MAX)));
    if (ready != 0 || !deadline) return ready;
    if (timeoutMs >= 0 && steady_clock::now() - begin >= milliseconds(timeoutMs)) return 0;
  }
}

}  // namespace nKESTRELSIM
