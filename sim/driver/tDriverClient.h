// A program's side of the simulated driver that serves every process of a
// kestrel-sim run: the device files and notification sockets the program
// opens are known to the driver by handles, and each request travels over
// the process's connection. The caller holds the simulator's lock around
// every call, which keeps one exchange at a time on the connection.
//
// When the driver has gone (its kestrel-sim ended or was killed), the
// process says so once on standard error; from then on every request and
// every open of a device fails with ENODEV, as a vanished device's do, and
// the notification sockets hang up, which ends any wait on them.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sim/driver/tDriverChannel.h"

namespace nKESTRELSIM {

class tDriverClient {
 public:
  // Connects to the driver listening at `path`; a driver that cannot be
  // reached counts as gone (and is said so once the program reaches for it).
  explicit tDriverClient(std::string path);
  tDriverClient(const tDriverClient&) = delete;
  tDriverClient& operator=(const tDriverClient&) = delete;

  bool gone() const noexcept { return gone_; }
  bool ownsDevice(int descriptor) const;
  bool ownsSocket(int descriptor) const;

  // `descriptor` is the program's own open of the device node; the driver
  // keeps a reference of it. -1 with errno when the driver refuses.
  int open(int descriptor, const std::string& devicePath);
  // The program closes the descriptor: the driver drops its reference.
  void close(int descriptor);
  int ioctl(int descriptor, unsigned long request, void* argument);

  int createSocket(int type);
  int bind(int descriptor, const sockaddr* address, socklen_t size);
  int getsockname(int descriptor, sockaddr* address, socklen_t* size) const;
  // True once after the driver dropped a message for the socket.
  bool takeOverrun(int descriptor);
  // Poll results as a socket shows them once the driver went away.
  int markHangUps(pollfd* descriptors, nfds_t count) const;
  // The connection, for a poll to learn that the driver has gone; -1 when there is none.
  int connectionDescriptor() const noexcept;
  // The driver has gone: says so once, and hangs up the notification sockets.
  void lose();
  // Says once per program that its run's driver has gone.
  static void announceGone();

  // Around a fork. The child holds the descriptors it inherits from the
  // moment of the fork: before it, the driver gives this connection a
  // one-time token naming what it holds, and a connection made for the
  // child adopts exactly that with it, so that the parent may end at once
  // without the driver releasing them. The parent keeps its own
  // connection; the child takes the new one.
  void prepareFork();
  void parentAfterFork();
  void childAfterFork();

 private:
  enum class tKind { kDevice, kSocket };
  struct tEntry {
    tKind kind = tKind::kDevice;
    int handle = -1;
    std::uint32_t port = 0;
  };

  bool ensureConnected();
  // Sends and waits for the kAnswer; false (the driver counted as gone) when none comes.
  bool exchange(const tChannelMessage& message, tChannelMessage& answer);
  // The answer's value; minus ENODEV when the driver is gone.
  std::int64_t ask(const tChannelMessage& message);
  int fail(int error) const;

  std::string path_;
  std::unique_ptr<tDriverChannel> channel_;
  std::unique_ptr<tDriverChannel> childChannel_;
  std::map<int, tEntry> entries_;
  bool gone_ = false;
};

}  // namespace nKESTRELSIM
