// What the driver host serves: the simulated system of the run. The host
// knows each program's device file and notification socket by a handle
// and hands the system nothing but those handles, so the serving side
// needs no more of the system than this.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace nKESTRELSIM {

class iServedSystem {
 public:
  // The connection (numbered from 1 in the order they came) and process
  // whose message the driver handles next.
  virtual void servingConnection(std::uint64_t /*connection*/, pid_t /*process*/) {}
  // A program's descriptor of a device node or of a notification socket,
  // passed to the driver, becomes the handle the driver knows it by.
  virtual int adoptDevice(int handle, const std::string& devicePath) = 0;
  virtual void adoptSocket(int handle, int driverEnd) = 0;
  // Binds for the given process; 0 and the port, or -1 with errno.
  virtual int bindSocketFor(int handle, const sockaddr* address, socklen_t size, std::uint32_t processId,
                            std::uint32_t& port) = 0;
  // True once after the driver dropped a message for the socket.
  virtual bool takeSocketOverrun(int handle) = 0;
  virtual int ioctlDescriptor(int handle, unsigned long request, void* argument) = 0;
  virtual int closeDescriptor(int handle) = 0;
  // Lets the timers that are due expire; the next deadline on real time.
  virtual std::optional<std::chrono::steady_clock::time_point> serviceTimers() = 0;
  // The driver goes away: every notification socket hangs up.
  virtual std::size_t hangUpNotifications() = 0;

 protected:
  ~iServedSystem() = default;
};

}  // namespace nKESTRELSIM
