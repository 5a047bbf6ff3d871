// The simulator's part in one driver shared by the processes of a run:
// a program's process hands its device files and notification sockets to
// the driver (tDriverClient); the serving side adopts them by handle
// (tDriverHost).
#include <unistd.h>

#include <cerrno>

#include "tDriverClient.h"
#include "tReentryGuard.h"
#include "tSimulator.h"

namespace nKESTRELSIM {

void tSimulator::useDriverAt(const std::string& socketPath) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  driver_ = std::make_unique<tDriverClient>(socketPath);
}

int tSimulator::adoptDevice(int descriptor, const std::string& devicePath) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tDeviceNode* node = nodeAt(devicePath);
  if (node == nullptr) {
    errno = ENOENT;
    return -1;
  }
  openDevices_[descriptor] = tOpenDevice{node, ++nextOpenId_};
  return 0;
}

void tSimulator::publishOverruns(std::uint8_t* flags, std::size_t count) {
  std::lock_guard lock(lock_);
  hub_.publishOverruns(flags, count);
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

}  // namespace nKESTRELSIM
