// The driver of a replay: requests are answered from a recording instead
// of the models. Each program process is matched to a recorded process by
// its first request, then its requests to that process's, in order, by
// code, input record (caller addresses and session ids aside) and the
// buffers the driver reads. The data notifications the recorded process
// received after a request are delivered once the same request has been
// answered. Registrations go to the simulated system as well, so that
// messages reach the program's sockets and closing ends them as a driver
// does.
//
// The first request that does not match ends the replay: the request fails
// with EIO and the divergence is kept for the report. Lenient, it is
// answered by the models instead and listed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/driver/iServedSystem.h"
#include "sim/replay/tReplayScript.h"

namespace nKESTRELSIM {

class tSimulator;

// A request as the program made it.
struct tActualRequest {
  std::string interface;  // "<name>\\<suffix>"
  std::uint32_t code = 0;
  std::vector<std::uint8_t> input;        // comparable: caller fields zeroed
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> readBuffers;  // by field
  std::vector<std::uint8_t> registration;
  std::optional<std::uint64_t> argument;  // unregistration
  std::optional<std::uint32_t> notificationId;  // registration
};

struct tDivergence {
  pid_t process = 0;
  std::size_t index = 0;  // of the process's requests, from 1
  const tExchange* expected = nullptr;  // nullptr: the recording had no more
  std::string expectedInterface;
  std::optional<tActualRequest> actual;  // nothing: the program ended before it
  bool answeredByModels = false;          // lenient
  std::string report() const;
};

class tReplaySystem final : public iServedSystem {
 public:
  tReplaySystem(tSimulator& simulator, tReplayScript& script, bool lenient);

  // Called when the replay diverges (strict), from the driver's thread.
  void onDivergence(std::function<void(pid_t)> callback) { onDivergence_ = std::move(callback); }
  const std::optional<tDivergence>& divergence() const noexcept { return divergence_; }
  // Requests answered by the models (lenient).
  const std::vector<tDivergence>& unmatched() const noexcept { return unmatched_; }
  // After the run: the first recorded request no process made, if any.
  std::optional<tDivergence> unreplayed() const;

  void servingConnection(std::uint64_t connection, pid_t process) override;
  int adoptDevice(int handle, const std::string& devicePath) override;
  void adoptSocket(int handle, int driverEnd) override;
  int bindSocketFor(int handle, const sockaddr* address, socklen_t size, std::uint32_t processId,
                    std::uint32_t& port) override;
  bool takeSocketOverrun(int handle) override;
  int ioctlDescriptor(int handle, unsigned long request, void* argument) override;
  int closeDescriptor(int handle) override;
  std::optional<std::chrono::steady_clock::time_point> serviceTimers() override;
  std::size_t hangUpNotifications() override;

 private:
  struct tCookie {
    std::uint64_t cookie = 0;  // the program's registration
    std::uint32_t port = 0;
    std::uint32_t recordedPort = 0;
  };
  struct tRunning {
    bool started = false;
    bool claimed = false;  // its recorded process is its alone
    // The recorded processes whose requests this process has made so far
    // (while several share them, each is still possible).
    std::vector<std::size_t> candidates;
    std::size_t next = 0;
    // by the recorded registration's cookie
    std::map<std::uint64_t, tCookie> cookies;
  };

  tActualRequest readRequest(unsigned long request, void* argument) const;
  bool matches(const tScriptedRequest& expected, const tActualRequest& actual) const;
  tRunning& runningFor();
  // A process left with one candidate claims it; others lose it.
  void settle();
  const tScriptedRequest* nextOf(const tRunning& running) const;
  int answer(tRunning& running, const tExchange& expected, int handle, unsigned long request, void* argument);
  void writeAnswer(const tExchange& expected, void* argument) const;
  void deliverAfter(tRunning& running, const tScriptedRequest& request);
  int diverge(tRunning* running, const tActualRequest& actual, unsigned long request, int handle, void* argument);

  tSimulator& simulator_;
  tReplayScript& script_;
  bool lenient_;
  std::mutex lock_;
  std::uint64_t connection_ = 0;
  pid_t process_ = 0;
  std::map<std::uint64_t, tRunning> running_;
  std::map<int, std::string> interfaces_;  // by handle
  std::vector<bool> assigned_;
  std::optional<tDivergence> divergence_;
  std::vector<tDivergence> unmatched_;
  std::function<void(pid_t)> onDivergence_;
};

}  // namespace nKESTRELSIM
