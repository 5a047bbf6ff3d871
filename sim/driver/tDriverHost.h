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
//
// No program can hold the driver up: connections are read as far as bytes
// have arrived, answers wait in a queue when a program does not read them,
// and a request that needs more of a program's memory waits for it without
// the driver waiting (see tRemoteMemory), for at most readBackPatience().
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/driver/iServedSystem.h"
#include "sim/driver/tHostConnection.h"

namespace nKESTRELSIM {

class tDriverHost {
 public:
  // How long a request waits for bytes of its program's memory without any
  // arriving before it fails with ETIMEDOUT.
  static constexpr std::chrono::milliseconds kDefaultReadBackPatience{5000};

  // Listens at `socketPath` for the processes of the run; throws
  // std::runtime_error when it cannot.
  tDriverHost(iServedSystem& system, std::string socketPath);
  // The driver goes away: every notification socket of the run hangs up
  // (a wait on one ends), and what the connections held is released.
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
  // Adoptions refused so far: a connection named handles no parent of it held.
  std::size_t refusedAdoptions() const noexcept { return refusedAdoptions_.load(std::memory_order_acquire); }
  // Set before start().
  void setReadBackPatience(std::chrono::milliseconds patience) noexcept { readBackPatience_ = patience; }

 private:
  using tToken = std::array<std::uint8_t, kForkTokenBytes>;
  struct tHandle {
    unsigned references = 0;  // connections holding it
    bool device = false;      // a device file, else a notification socket
  };
  struct tForkToken {
    int parent = -1;  // the connection that asked for it
    std::set<int> handles;
  };
  using tConnections = std::map<int, std::unique_ptr<tHostConnection>>;

  std::vector<pollfd> pollSet() const;
  void acceptAll();
  // Takes what the readable connections sent; those that ended are added to `ended`.
  void serveReadable(const std::vector<pollfd>& descriptors, std::vector<int>& ended);
  // False when the connection is to be dropped.
  bool serveConnection(tHostConnection& connection);
  bool handleMessage(tHostConnection& connection, tChannelMessage& message);
  void afterServing(std::vector<int>& ended);
  void answer(tHostConnection& connection, std::int64_t value);
  void open(tHostConnection& connection, const tChannelMessage& message);
  void socket(tHostConnection& connection, tChannelMessage& message);
  void bind(tHostConnection& connection, const tChannelMessage& message);
  void close(tHostConnection& connection, const tChannelMessage& message);
  void takeOverrun(tHostConnection& connection, const tChannelMessage& message);
  void issueToken(tHostConnection& connection, int descriptor);
  void adopt(tHostConnection& connection, const tChannelMessage& message);
  // A request: handled now, or waiting for more of the program's memory.
  void ioctl(tHostConnection& connection, tChannelMessage& message);
  void readAnswer(tHostConnection& connection, tChannelMessage& message);
  void attempt(tHostConnection& connection);
  void finishRequest(tHostConnection& connection, std::int32_t result, std::int32_t error,
                     const class tRemoteMemory* memory);
  // Requests whose read did not come in time fail; connections that cannot
  // take the answer are added to `ended`.
  void expireReadBacks(std::vector<int>& ended);
  void hold(tHostConnection& connection, int handle, bool device);
  void drop(tHostConnection& connection, int handle);
  void disconnect(int descriptor);
  int pollTimeoutMs();
  void publishCounts();

  iServedSystem& system_;
  std::string socketPath_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  tConnections connections_;  // by the connection's descriptor
  std::map<int, tHandle> handles_;
  std::map<tToken, tForkToken> tokens_;
  std::chrono::milliseconds readBackPatience_ = kDefaultReadBackPatience;
  // While the process is out of descriptors, new connections wait in the
  // listener's queue instead of waking the loop again and again.
  std::optional<std::chrono::steady_clock::time_point> acceptPausedUntil_;
  bool saidOutOfDescriptors_ = false;
  std::uint64_t connectionSerial_ = 0;
  std::atomic<std::size_t> connectionCount_{0};
  std::atomic<std::size_t> handleCount_{0};
  std::atomic<std::size_t> refusedAdoptions_{0};
};

}  // namespace nKESTRELSIM
