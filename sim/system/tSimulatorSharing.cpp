// The simulator's part in one driver shared by the processes of a run:
// a program's process hands its device files and notification sockets to
// the driver (tDriverClient); the serving side adopts them by handle
// (tDriverHost).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "sim/driver/tDriverClient.h"
#include "sim/libc/realLibc.h"
#include "sim/libc/tReentryGuard.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

void tSimulator::useDriverAt(const std::string& socketPath) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  driver_ = std::make_unique<tDriverClient>(socketPath);
}

void tSimulator::noteSimulatedUse() {
  if (driver_ && driver_->gone()) driver_->announceGone();
}

bool tSimulator::sharedDriverGone() const {
  std::lock_guard lock(lock_);
  return driver_ && driver_->gone();
}

int tSimulator::adoptDevice(int descriptor, const std::string& devicePath) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tDeviceNode* node = devices_.at(devicePath);
  if (node == nullptr) {
    errno = ENOENT;
    return -1;
  }
  devices_.open(descriptor, *node);
  return 0;
}

bool tSimulator::takeSocketOverrun(int descriptor) {
  std::lock_guard lock(lock_);
  return hub_.takeOverrun(descriptor);
}

void tSimulator::adoptSocket(int programEnd, int driverEnd) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  hub_.adopt(programEnd, driverEnd);
}

int tSimulator::bindSocketFor(int descriptor, const sockaddr* address, socklen_t size, std::uint32_t processId,
                              std::uint32_t& port) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  if (!hub_.owns(descriptor)) {
    errno = EBADF;
    return -1;
  }
  return hub_.bind(descriptor, address, size, processId, port);
}

std::optional<std::chrono::steady_clock::time_point> tSimulator::serviceTimers() {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  expireDueWatchdogs();
  return nextRealDeadline();
}

// The driver's own timers run where it is served. The poll also watches
// the connection: a driver that goes away (its kestrel-sim killed) hangs
// up the notification sockets, which ends a wait on them.
int tSimulator::pollServed(pollfd* descriptors, nfds_t count, int timeoutMs) {
  int connection = -1;
  {
    std::lock_guard lock(lock_);
    connection = driver_->connectionDescriptor();
  }
  std::vector<pollfd> watched(descriptors, descriptors + count);
  watched.push_back({connection, POLLRDHUP, 0});
  int ready = nRealLibc::poll(watched.data(), watched.size(), timeoutMs);
  if (ready < 0) return ready;
  for (nfds_t i = 0; i < count; ++i) descriptors[i].revents = watched[i].revents;
  if (watched.back().revents != 0) {
    {
      std::lock_guard lock(lock_);
      driver_->lose();
    }
    ready = nRealLibc::poll(descriptors, count, 0);
  }
  if (ready <= 0) return ready;
  std::lock_guard lock(lock_);
  return driver_->markHangUps(descriptors, count);
}

}  // namespace nKESTRELSIM
