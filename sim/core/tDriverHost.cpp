#include "tDriverHost.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "tReentryGuard.h"
#include "tSimulator.h"
#include "userMemory.h"

namespace nKESTRELSIM {
namespace {

constexpr int kBacklog = 64;
constexpr std::chrono::microseconds kServeSpin{200};

// The memory of the program whose request is being handled: what came with
// the request is read from the copy, anything else is asked for; writes are
// collected and applied by the program when the request is done.
class tRemoteMemory : public iUserMemory {
 public:
  explicit tRemoteMemory(tDriverChannel& channel) : channel_(channel) {}

  void addRegion(std::uint64_t address, const std::uint8_t* bytes, std::size_t size) {
    regions_.push_back({address, std::vector<std::uint8_t>(bytes, bytes + size)});
  }

  void read(std::uint64_t address, void* into, std::size_t size) override {
    for (const auto& region : regions_) {
      if (address >= region.address && size <= region.bytes.size() &&
          address - region.address <= region.bytes.size() - size) {
        std::memcpy(into, region.bytes.data() + (address - region.address), size);
        return;
      }
    }
    std::memset(into, 0, size);
    tChannelMessage ask{tChannelMessageType::kRead, {}, {}};
    ask.put(address);
    ask.put(static_cast<std::uint32_t>(size));
    tChannelMessage answer;
    if (!channel_.send(ask) || !channel_.receive(answer) || answer.type != tChannelMessageType::kReadAnswer) {
      lost_ = true;
      return;
    }
    tPayloadReader reader(answer.payload);
    std::size_t got = 0;
    const std::uint8_t* bytes = reader.getBytes(got);
    if (bytes != nullptr) std::memcpy(into, bytes, std::min(got, size));
  }

  void write(std::uint64_t address, const void* from, std::size_t size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(from);
    writes_.push_back({address, std::vector<std::uint8_t>(bytes, bytes + size)});
    // A later read of the same bytes sees what was written.
    for (auto& region : regions_) {
      const std::uint64_t begin = std::max(address, region.address);
      const std::uint64_t end = std::min(address + size, region.address + region.bytes.size());
      if (begin < end) std::memcpy(region.bytes.data() + (begin - region.address), bytes + (begin - address), end - begin);
    }
  }

  void putWrites(tChannelMessage& message) const {
    message.put(static_cast<std::uint32_t>(writes_.size()));
    for (const auto& entry : writes_) {
      message.put(entry.address);
      message.putBytes(entry.bytes.data(), entry.bytes.size());
    }
  }
  bool lost() const noexcept { return lost_; }

 private:
  struct tRegion {
    std::uint64_t address;
    std::vector<std::uint8_t> bytes;
  };
  tDriverChannel& channel_;
  std::vector<tRegion> regions_;
  std::vector<tRegion> writes_;
  bool lost_ = false;
};

void closeAll(const std::vector<int>& descriptors) {
  for (const int descriptor : descriptors) ::close(descriptor);
}

}  // namespace

tDriverHost::tDriverHost(tSimulator& simulator, std::string socketPath)
    : simulator_(simulator), socketPath_(std::move(socketPath)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof address.sun_path) throw std::runtime_error("the sandbox path is too long");
  std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ == -1 || ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == -1 ||
      ::listen(listener_, kBacklog) == -1 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == -1) {
    const std::string reason = std::strerror(errno);
    if (listener_ != -1) ::close(listener_);
    throw std::runtime_error("cannot serve the simulated driver at " + socketPath_ + ": " + reason);
  }
  shareOverruns();
}

void tDriverHost::shareOverruns() {
  const std::string path = socketPath_ + kOverrunFlagsSuffix;
  const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (file == -1) return;
  void* mapped = MAP_FAILED;
  if (::ftruncate(file, kOverrunFlagBytes) == 0) {
    mapped = ::mmap(nullptr, kOverrunFlagBytes, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
  }
  ::close(file);
  if (mapped == MAP_FAILED) return;
  overrunFlags_ = static_cast<std::uint8_t*>(mapped);
  simulator_.publishOverruns(overrunFlags_, kOverrunFlagBytes);
}

tDriverHost::~tDriverHost() {
  stop();
  for (auto& [descriptor, connection] : connections_) {
    for (const int handle : connection.handles) {
      if (--handles_[handle].references == 0) simulator_.closeDescriptor(handle);
    }
  }
  connections_.clear();
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
  ::unlink(socketPath_.c_str());
  if (overrunFlags_ != nullptr) {
    simulator_.publishOverruns(nullptr, 0);
    ::munmap(overrunFlags_, kOverrunFlagBytes);
    ::unlink((socketPath_ + kOverrunFlagsSuffix).c_str());
  }
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
  const auto deadline = simulator_.serviceTimers();
  if (!deadline) return -1;
  const auto left = ceil<milliseconds>(*deadline - steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void tDriverHost::serve() {
  // The driver's own descriptors are never the simulated ones, also where
  // it serves inside a process that simulates (a test's).
  tReentryGuard guard;
  auto lastServed = std::chrono::steady_clock::time_point{};
  std::vector<pollfd> descriptors;
  while (!stopping_) {
    descriptors.assign({{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}});
    for (const auto& [descriptor, connection] : connections_) descriptors.push_back({descriptor, POLLIN, 0});
    // A program that has just been answered often asks again at once: for a
    // moment the driver polls instead of sleeping, which on an idle
    // processor costs more than the exchange itself.
    // The timers are served on every turn, polling or not.
    const int timeoutMs = pollTimeoutMs();
    const bool spinning = std::chrono::steady_clock::now() - lastServed < kServeSpin;
    if (::poll(descriptors.data(), descriptors.size(), spinning ? 0 : timeoutMs) <= 0) {
      if (spinning) __builtin_ia32_pause();
      continue;
    }
    lastServed = std::chrono::steady_clock::now();
    std::vector<int> ended;
    acceptAll();
    serveReadable(descriptors, ended);
    if (ended.empty()) {
      connectionCount_.store(connections_.size(), std::memory_order_release);
      handleCount_.store(handles_.size(), std::memory_order_release);
      continue;
    }
    // A forked child's connection was made, and what it holds announced,
    // before its parent could end: read all that before the parent's
    // descriptors are released.
    acceptAll();
    descriptors.clear();
    for (const auto& [descriptor, connection] : connections_) {
      if (std::find(ended.begin(), ended.end(), descriptor) == ended.end()) descriptors.push_back({descriptor, POLLIN, 0});
    }
    if (::poll(descriptors.data(), descriptors.size(), 0) > 0) serveReadable(descriptors, ended);
    for (const int descriptor : ended) disconnect(descriptor);
    connectionCount_.store(connections_.size(), std::memory_order_release);
    handleCount_.store(handles_.size(), std::memory_order_release);
  }
}

void tDriverHost::serveReadable(const std::vector<pollfd>& descriptors, std::vector<int>& ended) {
  for (const pollfd& entry : descriptors) {
    if (entry.revents == 0 || entry.fd == wake_[0] || entry.fd == listener_) continue;
    const auto found = connections_.find(entry.fd);
    if (found == connections_.end()) continue;
    // Every frame that came in with the bytes read, before polling again.
    do {
      if (!handleMessage(found->second)) {
        ended.push_back(entry.fd);
        break;
      }
    } while (found->second.channel->hasFrame());
  }
}

void tDriverHost::acceptAll() {
  for (;;) {
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor == -1) return;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size);
    tConnection& connection = connections_[descriptor];
    connection.channel = std::make_unique<tDriverChannel>(descriptor);
    connection.processId = credentials.pid;
  }
}

// A process ended (or exec'd): it closes everything it held.
void tDriverHost::disconnect(int descriptor) {
  const auto found = connections_.find(descriptor);
  if (found == connections_.end()) return;
  const std::set<int> handles = found->second.handles;
  for (const int handle : handles) drop(found->second, handle);
  connections_.erase(found);
}

bool tDriverHost::handleMessage(tConnection& connection) {
  tChannelMessage message;
  if (!connection.channel->receive(message)) {
    closeAll(message.descriptors);
    return false;
  }
  tPayloadReader reader(message.payload);
  // Only an open and a socket take descriptors along.
  if (message.type != tChannelMessageType::kOpen && message.type != tChannelMessageType::kSocket) {
    closeAll(message.descriptors);
  }
  switch (message.type) {
    case tChannelMessageType::kOpen: open(connection, message); break;
    case tChannelMessageType::kIoctl: ioctl(connection, message); break;
    case tChannelMessageType::kSocket: socket(connection, message); break;
    case tChannelMessageType::kBind: bind(connection, message); break;
    case tChannelMessageType::kAdopt: adopt(connection, message); break;
    case tChannelMessageType::kClose: {
      const int handle = reader.get<int>();
      if (!reader.failed() && connection.handles.count(handle) != 0) drop(connection, handle);
      break;
    }
    default: closeAll(message.descriptors); return false;
  }
  return true;
}

void tDriverHost::answer(tConnection& connection, std::int64_t value) {
  tChannelMessage message{tChannelMessageType::kAnswer, {}, {}};
  message.put(value);
  connection.channel->send(message);
}

void tDriverHost::hold(tConnection& connection, int handle, bool device) {
  if (!connection.handles.insert(handle).second) return;
  tHandle& entry = handles_[handle];
  ++entry.references;
  entry.device = device;
}

void tDriverHost::drop(tConnection& connection, int handle) {
  if (connection.handles.erase(handle) == 0) return;
  const auto found = handles_.find(handle);
  if (found == handles_.end() || --found->second.references != 0) return;
  handles_.erase(found);
  simulator_.closeDescriptor(handle);
}

void tDriverHost::open(tConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const std::string path = reader.getText();
  if (message.descriptors.size() != 1 || reader.failed()) {
    closeAll(message.descriptors);
    answer(connection, -EBADF);
    return;
  }
  const int handle = message.descriptors[0];
  if (simulator_.adoptDevice(handle, path) == -1) {
    const int error = errno;
    ::close(handle);
    answer(connection, -error);
    return;
  }
  hold(connection, handle, true);
  answer(connection, handle);
}

void tDriverHost::ioctl(tConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const int handle = reader.get<int>();
  const auto request = reader.get<std::uint64_t>();
  const auto argument = reader.get<std::uint64_t>();
  const auto regionCount = reader.get<std::uint32_t>();
  tRemoteMemory memory(*connection.channel);
  for (std::uint32_t i = 0; i < regionCount && !reader.failed(); ++i) {
    const auto address = reader.get<std::uint64_t>();
    std::size_t size = 0;
    const std::uint8_t* bytes = reader.getBytes(size);
    if (bytes != nullptr) memory.addRegion(address, bytes, size);
  }
  std::int32_t result = -1;
  std::int32_t error = EBADF;
  // Requests go to device files only: the handle of a socket is one of this
  // process's descriptors, and the C library's ioctl on it with the
  // program's address would write into this process.
  const auto found = handles_.find(handle);
  const bool device = found != handles_.end() && found->second.device;
  if (!reader.failed() && connection.handles.count(handle) != 0 && !device) error = ENOTTY;
  if (!reader.failed() && connection.handles.count(handle) != 0 && device) {
    tUserMemoryScope scope(memory);
    errno = 0;
    result = simulator_.ioctlDescriptor(handle, static_cast<unsigned long>(request),
                                        reinterpret_cast<void*>(argument));
    error = errno;
  }
  tChannelMessage done{tChannelMessageType::kIoctlDone, {}, {}};
  done.put(result);
  done.put(error);
  memory.putWrites(done);
  connection.channel->send(done);
}

void tDriverHost::socket(tConnection& connection, tChannelMessage& message) {
  if (message.descriptors.size() != 2) {
    closeAll(message.descriptors);
    answer(connection, -EBADF);
    return;
  }
  const int handle = message.descriptors[0];
  simulator_.adoptSocket(handle, message.descriptors[1]);
  hold(connection, handle, false);
  answer(connection, handle);
}

void tDriverHost::bind(tConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const int handle = reader.get<int>();
  std::size_t size = 0;
  const std::uint8_t* bytes = reader.getBytes(size);
  if (reader.failed() || connection.handles.count(handle) == 0) {
    answer(connection, -EBADF);
    return;
  }
  sockaddr_storage address{};
  size = std::min(size, sizeof address);
  if (bytes != nullptr) std::memcpy(&address, bytes, size);
  std::uint32_t port = 0;
  const int result = simulator_.bindSocketFor(handle, bytes == nullptr ? nullptr : reinterpret_cast<const sockaddr*>(&address),
                                              static_cast<socklen_t>(size),
                                              static_cast<std::uint32_t>(connection.processId), port);
  answer(connection, result == -1 ? -static_cast<std::int64_t>(errno) : port);
}

void tDriverHost::adopt(tConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const auto count = reader.get<std::uint32_t>();
  for (std::uint32_t i = 0; i < count && !reader.failed(); ++i) {
    const int handle = reader.get<int>();
    const auto found = handles_.find(handle);
    if (!reader.failed() && found != handles_.end()) hold(connection, handle, found->second.device);
  }
}

}  // namespace nKESTRELSIM
