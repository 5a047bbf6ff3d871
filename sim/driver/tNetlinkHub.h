// Generic netlink sockets without privileges: each socket the program
// creates is one end of a datagram socket pair; the simulated driver
// writes messages into the other end.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace nKESTRELSIM {

class tNetlinkHub {
 public:
  ~tNetlinkHub() { clear(); }

  // Returns the program's descriptor, or -1 with errno.
  int create(int type);
  bool owns(int descriptor) const { return sockets_.count(descriptor) != 0; }
  // Takes over a socket pair made elsewhere: the program's end (the key)
  // and the driver's end.
  void adopt(int programEnd, int driverEnd);
  // Port 0 asks for a port id of the hub's choice: the process id while no
  // other socket has it, as the kernel chooses. Sets `port` to the bound one.
  int bind(int descriptor, const sockaddr* address, socklen_t size, std::uint32_t processId, std::uint32_t& port);
  int getsockname(int descriptor, sockaddr* address, socklen_t* size) const;
  // After a receive: the source is the kernel's netlink address.
  static void setKernelSource(msghdr* message);
  // getsockname's answer for a socket bound to `port`.
  static int writeName(std::uint32_t port, sockaddr* address, socklen_t* size);
  // The poll result of a hung-up socket: POLLHUP, and POLLIN only while a
  // message is still queued.
  static short hungUpEvents(const pollfd& entry);
  // Delivers one datagram to the socket bound to `portId`; false when no
  // such socket exists or its queue is full. A full queue drops the message
  // and marks the socket overrun, as the kernel does.
  bool send(std::uint32_t portId, std::span<const std::uint8_t> bytes);
  // True once after an overrun: the program's next receive fails with
  // ENOBUFS, and the one after that receives again.
  bool takeOverrun(int descriptor);
  // Forgets the socket; the program closes its own descriptor.
  void release(int descriptor);
  void clear();
  std::vector<std::uint32_t> ports() const;
  // The driver goes away: every socket hangs up. The program's end reads
  // end-of-file and polls as hung up (POLLHUP); nothing reaches it any more.
  std::size_t hangUp();
  // Poll results as a hung-up socket shows them: POLLHUP, and POLLIN only
  // while a message is still queued. Returns the count of ready entries.
  int markHangUps(pollfd* descriptors, nfds_t count) const;

 private:
  struct tSocket {
    int driverEnd = -1;
    std::uint32_t portId = 0;
    bool overrun = false;
    bool hungUp = false;
  };
  std::map<int, tSocket> sockets_;
  std::uint32_t nextPort_ = 0;
};

}  // namespace nKESTRELSIM
