// The simulated driver serving every process of a kestrel-sim run: it owns
// the run's simulator (device models, notification registrations, timers)
// and answers the requests that the processes' interposed C library calls
// forward to it over a Unix socket in the sandbox.
//
// What a real driver ties to an open file is tied to the handle of the
// program's descriptor: when the last process holding it closes it or ends,
// its registrations end (the driver sends the end message) and the models
// release what was made through it (reservations of the trigger router; the
// watchdog as the profile says).
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tDriverChannel.h"

namespace nKESTRELSIM {

class tSimulator;

class tDriverHost {
 public:
  // Listens at `socketPath` for the processes of the run; throws
  // std::runtime_error when it cannot.
  tDriverHost(tSimulator& simulator, std::string socketPath);
  ~tDriverHost();
  tDriverHost(const tDriverHost&) = delete;
  tDriverHost& operator=(const tDriverHost&) = delete;

  const std::string& socketPath() const noexcept { return socketPath_; }
  // Serves on a thread of its own until stop() or destruction. A stopped
  // driver keeps its connections and may start again (a process that forks
  // stops it around the fork, so that no lock of its thread is copied held).
  void start();
  void stop();
  // Serves on the calling thread until stop() is called from another one.
  void serve();
  // Processes connected now, and the device files and sockets they hold.
  std::size_t connections() const noexcept { return connectionCount_.load(std::memory_order_acquire); }
  std::size_t handles() const noexcept { return handleCount_.load(std::memory_order_acquire); }

 private:
  struct tConnection {
    std::unique_ptr<tDriverChannel> channel;
    pid_t processId = 0;
    std::set<int> handles;
  };

  void acceptAll();
  // Handles what the readable connections sent; those that ended are added to `ended`.
  void serveReadable(const std::vector<pollfd>& descriptors, std::vector<int>& ended);
  // False when the connection is to be dropped.
  bool handleMessage(tConnection& connection);
  void answer(tConnection& connection, std::int64_t value);
  void open(tConnection& connection, const tChannelMessage& message);
  void ioctl(tConnection& connection, const tChannelMessage& message);
  void socket(tConnection& connection, tChannelMessage& message);
  void bind(tConnection& connection, const tChannelMessage& message);
  void adopt(tConnection& connection, const tChannelMessage& message);
  void hold(tConnection& connection, int handle, bool device);
  void drop(tConnection& connection, int handle);
  void disconnect(int descriptor);
  int pollTimeoutMs();
  void shareOverruns();

  tSimulator& simulator_;
  std::string socketPath_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::map<int, tConnection> connections_;  // by the connection's descriptor
  struct tHandle {
    unsigned references = 0;  // connections holding it
    bool device = false;      // a device file, else a notification socket
  };
  std::map<int, tHandle> handles_;
  std::atomic<std::size_t> connectionCount_{0};
  std::atomic<std::size_t> handleCount_{0};
  std::uint8_t* overrunFlags_ = nullptr;
};

}  // namespace nKESTRELSIM
