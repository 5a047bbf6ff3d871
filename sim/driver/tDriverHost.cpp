#include "sim/driver/tDriverHost.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "sim/libc/descriptorPlacement.h"
#include "sim/libc/tReentryGuard.h"

namespace nKESTRELSIM {
namespace {

constexpr int kBacklog = 64;
constexpr std::chrono::microseconds kServeSpin{200};
constexpr std::chrono::milliseconds kAcceptPause{100};

bool outOfDescriptors(int error) { return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM; }

}  // namespace

tDriverHost::tDriverHost(iServedSystem& system, std::string socketPath)
    : system_(system), socketPath_(std::move(socketPath)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof address.sun_path) throw std::runtime_error("the sandbox path is too long");
  std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
  listener_ = aboveStandardStreams(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  const bool listening = listener_ != -1 &&
                         ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                         ::listen(listener_, kBacklog) == 0 && ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == 0;
  if (listening) {
    wake_[0] = aboveStandardStreams(wake_[0]);
    wake_[1] = aboveStandardStreams(wake_[1]);
  }
  if (!listening || wake_[0] == -1 || wake_[1] == -1) {
    const std::string reason = std::strerror(errno);
    for (const int descriptor : {listener_, wake_[0], wake_[1]}) {
      if (descriptor != -1) ::close(descriptor);
    }
    throw std::runtime_error("cannot serve the simulated driver at " + socketPath_ + ": " + reason);
  }
}

tDriverHost::~tDriverHost() {
  stop();
  // Programs that outlive the run learn that their driver went away.
  system_.hangUpNotifications();
  for (auto& [descriptor, connection] : connections_) {
    for (const int handle : connection->handles) {
      if (--handles_[handle].references == 0) system_.closeDescriptor(handle);
    }
  }
  connections_.clear();
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
  ::unlink(socketPath_.c_str());
}

void tDriverHost::start() {
  if (thread_.joinable()) return;
  // A wake-up left from an earlier stop would keep the loop awake.
  char bytes[16];
  while (::read(wake_[0], bytes, sizeof bytes) > 0) {
  }
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
}

void tDriverHost::stop() {
  stopping_ = true;
  const char byte = 0;
  [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
  if (thread_.joinable()) thread_.join();
}

int tDriverHost::pollTimeoutMs() {
  using namespace std::chrono;
  std::optional<steady_clock::time_point> next = system_.serviceTimers();
  auto sooner = [&next](steady_clock::time_point when) {
    if (!next || when < *next) next = when;
  };
  for (const auto& [descriptor, connection] : connections_) {
    if (connection->pending && connection->pending->size != 0) sooner(connection->pending->deadline);
  }
  if (acceptPausedUntil_) sooner(*acceptPausedUntil_);
  if (!next) return -1;
  const auto left = ceil<milliseconds>(*next - steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

std::vector<pollfd> tDriverHost::pollSet() const {
  // A negative descriptor is one poll skips: the listener while accepting pauses.
  std::vector<pollfd> descriptors{{wake_[0], POLLIN, 0}, {acceptPausedUntil_ ? -1 : listener_, POLLIN, 0}};
  for (const auto& [descriptor, connection] : connections_) {
    const short events = static_cast<short>(POLLIN | (connection->channel.hasQueued() ? POLLOUT : 0));
    descriptors.push_back({descriptor, events, 0});
  }
  return descriptors;
}

void tDriverHost::serve() {
  // The driver's own descriptors are never the simulated ones, also where
  // it serves inside a process that simulates (a test's).
  tReentryGuard guard;
  auto lastServed = std::chrono::steady_clock::time_point{};
  while (!stopping_) {
    std::vector<pollfd> descriptors = pollSet();
    // A program that has just been answered often asks again at once: for a
    // moment the driver polls instead of sleeping, which on an idle
    // processor costs more than the exchange itself.
    // The timers are served on every turn, polling or not.
    const int timeoutMs = pollTimeoutMs();
    const bool spinning = std::chrono::steady_clock::now() - lastServed < kServeSpin;
    const int ready = ::poll(descriptors.data(), descriptors.size(), spinning ? 0 : timeoutMs);
    if (acceptPausedUntil_ && std::chrono::steady_clock::now() >= *acceptPausedUntil_) acceptPausedUntil_.reset();
    std::vector<int> ended;
    expireReadBacks(ended);
    if (ready > 0) {
      lastServed = std::chrono::steady_clock::now();
      acceptAll();
      serveReadable(descriptors, ended);
    } else if (spinning) {
      __builtin_ia32_pause();
    }
    if (ready > 0 || !ended.empty()) afterServing(ended);
  }
}

// A forked child's connection was made, and what it holds announced,
// before its parent could end: all that is read before the parent's
// descriptors are released.
void tDriverHost::afterServing(std::vector<int>& ended) {
  if (!ended.empty()) {
    acceptAll();
    std::vector<pollfd> others;
    for (const auto& [descriptor, connection] : connections_) {
      if (std::find(ended.begin(), ended.end(), descriptor) == ended.end()) others.push_back({descriptor, POLLIN, 0});
    }
    if (::poll(others.data(), others.size(), 0) > 0) serveReadable(others, ended);
    for (const int descriptor : ended) disconnect(descriptor);
  }
  publishCounts();
}

void tDriverHost::publishCounts() {
  connectionCount_.store(connections_.size(), std::memory_order_release);
  handleCount_.store(handles_.size(), std::memory_order_release);
}

void tDriverHost::serveReadable(const std::vector<pollfd>& descriptors, std::vector<int>& ended) {
  for (const pollfd& entry : descriptors) {
    if (entry.revents == 0 || entry.fd == wake_[0] || entry.fd == listener_) continue;
    const auto found = connections_.find(entry.fd);
    if (found == connections_.end() || std::find(ended.begin(), ended.end(), entry.fd) != ended.end()) continue;
    if (!serveConnection(*found->second)) ended.push_back(entry.fd);
  }
}

// Every frame that has arrived whole, as far as this turn's share of bytes
// goes; a partial frame stays with the connection for a later turn.
bool tDriverHost::serveConnection(tHostConnection& connection) {
  if (!connection.channel.flush()) return false;
  tChannelMessage message;
  for (;;) {
    const std::uint64_t before = connection.channel.bytesReceived();
    const tDriverChannel::tReceived received = connection.channel.receiveAvailable(message);
    // A program still sending is not a stopped one: its read-back may take longer.
    if (connection.pending && connection.channel.bytesReceived() != before) {
      connection.pending->deadline = std::chrono::steady_clock::now() + readBackPatience_;
    }
    if (received == tDriverChannel::tReceived::kPending) return !connection.broken;
    if (received == tDriverChannel::tReceived::kEnded || !handleMessage(connection, message) || connection.broken) {
      return false;
    }
  }
}

void tDriverHost::acceptAll() {
  while (!acceptPausedUntil_) {
    const int accepted = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (accepted == -1) {
      if (outOfDescriptors(errno)) {
        acceptPausedUntil_ = std::chrono::steady_clock::now() + kAcceptPause;
        if (!saidOutOfDescriptors_) {
          std::fprintf(stderr, "kestrel-sim: the simulated driver is out of descriptors (%s); new programs wait\n",
                       std::strerror(errno));
        }
        saidOutOfDescriptors_ = true;
      }
      return;
    }
    saidOutOfDescriptors_ = false;
    const int descriptor = aboveStandardStreams(accepted);
    if (descriptor == -1) continue;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size);
    auto connection = std::make_unique<tHostConnection>(descriptor);
    connection->processId = credentials.pid;
    connection->serial = ++connectionSerial_;
    connections_[descriptor] = std::move(connection);
  }
}

// A process ended (or exec'd): it closes everything it held.
void tDriverHost::disconnect(int descriptor) {
  const auto found = connections_.find(descriptor);
  if (found == connections_.end()) return;
  const std::set<int> handles = found->second->handles;
  for (const int handle : handles) drop(*found->second, handle);
  std::erase_if(tokens_, [descriptor](const auto& entry) { return entry.second.parent == descriptor; });
  connections_.erase(found);
}

void tDriverHost::hold(tHostConnection& connection, int handle, bool device) {
  if (!connection.handles.insert(handle).second) return;
  tHandle& entry = handles_[handle];
  ++entry.references;
  entry.device = device;
}

void tDriverHost::drop(tHostConnection& connection, int handle) {
  if (connection.handles.erase(handle) == 0) return;
  const auto found = handles_.find(handle);
  if (found == handles_.end() || --found->second.references != 0) return;
  handles_.erase(found);
  system_.closeDescriptor(handle);
}

}  // namespace nKESTRELSIM
