// A program's side of the simulated driver that serves every process of a
// kestrel-sim run: the device files and notification sockets the program
// opens are known to the driver by handles, and each request travels over
// the process's connection. The caller holds the simulator's lock around
// every call, which keeps one exchange at a time on the connection.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "tDriverChannel.h"

namespace nKESTRELSIM {

class tDriverClient {
 public:
  // Connects to the driver listening at `path`; throws std::runtime_error
  // when it cannot be reached.
  explicit tDriverClient(std::string path);
  ~tDriverClient();
  tDriverClient(const tDriverClient&) = delete;
  tDriverClient& operator=(const tDriverClient&) = delete;

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

  // Around a fork. The child holds the descriptors it inherits from the
  // moment of the fork: before it, a connection for the child is made and
  // the driver is told what the child will hold, so that the parent may end
  // at once without the driver releasing them. The parent keeps its own
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
  // Sends and waits for the kAnswer; minus errno when the driver is gone.
  std::int64_t ask(const tChannelMessage& message);
  int fail(int error) const;

  std::string path_;
  std::unique_ptr<tDriverChannel> channel_;
  std::unique_ptr<tDriverChannel> childChannel_;
  std::map<int, tEntry> entries_;
  std::uint8_t* overrunFlags_ = nullptr;  // shared with the driver, by handle
  std::size_t overrunFlagCount_ = 0;
};

}  // namespace nKESTRELSIM
