#include "tDriverClient.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

#include "platform/driverWireFormat.h"
#include "tNetlinkHub.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

// An answer usually comes within a few microseconds of a request.
constexpr std::chrono::microseconds kAnswerSpin{100};

void putRegion(tChannelMessage& message, std::uint64_t address, std::size_t size) {
  message.put(address);
  message.putBytes(reinterpret_cast<const void*>(address), size);
}

// The caller's records the driver reads for sure travel with the request:
// the transfer descriptor and its input record, or the registration record.
void putPrefetchedRegions(tChannelMessage& message, unsigned long request, void* argument) {
  const auto address = reinterpret_cast<std::uint64_t>(argument);
  const unsigned long size = (request >> 16) & 0x3FFF;
  std::uint32_t count = 0;
  const std::size_t countAt = message.payload.size();
  message.put(count);
  if (argument == nullptr) return;
  if (request == kRegisterNotification) {
    putRegion(message, address, sizeof(tNotificationRegistration));
    count = 1;
  } else if (size == sizeof(tTransferDescriptor)) {
    tTransferDescriptor descriptor{};
    std::memcpy(&descriptor, argument, sizeof descriptor);
    putRegion(message, address, sizeof descriptor);
    count = 1;
    if (descriptor.inputAddress != 0 && descriptor.inputSize != 0) {
      putRegion(message, descriptor.inputAddress, descriptor.inputSize);
      count = 2;
    }
  }
  std::memcpy(message.payload.data() + countAt, &count, sizeof count);
}

}  // namespace

tDriverClient::tDriverClient(std::string path) : path_(std::move(path)) {
  if (!ensureConnected()) {
    throw std::runtime_error("cannot reach the simulated driver of this run at " + path_ + " (" +
                             std::strerror(errno) + "); is its kestrel-sim still running?");
  }
  // Without the flags a program still receives; it only hears of no overrun.
  const int flags = ::open((path_ + kOverrunFlagsSuffix).c_str(), O_RDWR | O_CLOEXEC);
  if (flags == -1) return;
  void* mapped = ::mmap(nullptr, kOverrunFlagBytes, PROT_READ | PROT_WRITE, MAP_SHARED, flags, 0);
  ::close(flags);
  if (mapped == MAP_FAILED) return;
  overrunFlags_ = static_cast<std::uint8_t*>(mapped);
  overrunFlagCount_ = kOverrunFlagBytes;
}

tDriverClient::~tDriverClient() {
  if (overrunFlags_ != nullptr) ::munmap(overrunFlags_, overrunFlagCount_);
}

bool tDriverClient::takeOverrun(int descriptor) {
  const auto found = entries_.find(descriptor);
  if (found == entries_.end() || found->second.kind != tKind::kSocket) return false;
  const int handle = found->second.handle;
  if (handle < 0 || static_cast<std::size_t>(handle) >= overrunFlagCount_) return false;
  return __atomic_exchange_n(&overrunFlags_[handle], 0, __ATOMIC_ACQ_REL) != 0;
}

bool tDriverClient::ensureConnected() {
  if (channel_) return true;
  auto channel = std::make_unique<tDriverChannel>();
  if (!channel->connect(path_)) return false;
  channel->spinFor(kAnswerSpin);
  channel_ = std::move(channel);
  return true;
}

int tDriverClient::fail(int error) const {
  errno = error;
  return -1;
}

bool tDriverClient::ownsDevice(int descriptor) const {
  const auto found = entries_.find(descriptor);
  return found != entries_.end() && found->second.kind == tKind::kDevice;
}

bool tDriverClient::ownsSocket(int descriptor) const {
  const auto found = entries_.find(descriptor);
  return found != entries_.end() && found->second.kind == tKind::kSocket;
}

std::int64_t tDriverClient::ask(const tChannelMessage& message) {
  if (!ensureConnected() || !channel_->send(message)) return -ENODEV;
  tChannelMessage answer;
  if (!channel_->receive(answer) || answer.type != tChannelMessageType::kAnswer) return -ENODEV;
  for (const int passed : answer.descriptors) ::close(passed);
  tPayloadReader reader(answer.payload);
  const auto value = reader.get<std::int64_t>();
  return reader.failed() ? -ENODEV : value;
}

int tDriverClient::open(int descriptor, const std::string& devicePath) {
  tChannelMessage message{tChannelMessageType::kOpen, {}, {descriptor}};
  message.putText(devicePath);
  const std::int64_t handle = ask(message);
  if (handle < 0) return fail(static_cast<int>(-handle));
  entries_[descriptor] = tEntry{tKind::kDevice, static_cast<int>(handle), 0};
  return 0;
}

void tDriverClient::close(int descriptor) {
  const auto found = entries_.find(descriptor);
  if (found == entries_.end()) return;
  tChannelMessage message{tChannelMessageType::kClose, {}, {}};
  message.put(found->second.handle);
  entries_.erase(found);
  if (channel_) channel_->send(message);
}

int tDriverClient::ioctl(int descriptor, unsigned long request, void* argument) {
  const auto found = entries_.find(descriptor);
  if (found == entries_.end()) return fail(EBADF);
  tChannelMessage message{tChannelMessageType::kIoctl, {}, {}};
  message.put(found->second.handle);
  message.put(static_cast<std::uint64_t>(request));
  message.put(reinterpret_cast<std::uint64_t>(argument));
  putPrefetchedRegions(message, request, argument);
  if (!ensureConnected() || !channel_->send(message)) return fail(ENODEV);
  // The driver may ask for more of the caller's memory before it is done.
  tChannelMessage reply;
  for (;;) {
    if (!channel_->receive(reply)) return fail(ENODEV);
    tPayloadReader reader(reply.payload);
    if (reply.type == tChannelMessageType::kRead) {
      const auto address = reader.get<std::uint64_t>();
      const auto size = reader.get<std::uint32_t>();
      tChannelMessage bytes{tChannelMessageType::kReadAnswer, {}, {}};
      bytes.putBytes(reinterpret_cast<const void*>(address), reader.failed() ? 0 : size);
      if (!channel_->send(bytes)) return fail(ENODEV);
      continue;
    }
    if (reply.type != tChannelMessageType::kIoctlDone) return fail(ENODEV);
    const auto result = reader.get<std::int32_t>();
    const auto error = reader.get<std::int32_t>();
    const auto writes = reader.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < writes && !reader.failed(); ++i) {
      const auto address = reader.get<std::uint64_t>();
      std::size_t size = 0;
      const std::uint8_t* bytes = reader.getBytes(size);
      if (bytes != nullptr && address != 0) std::memcpy(reinterpret_cast<void*>(address), bytes, size);
    }
    if (reader.failed()) return fail(ENODEV);
    if (result < 0) errno = error;
    return result;
  }
}

int tDriverClient::createSocket(int type) {
  const int flags = type & (SOCK_CLOEXEC | SOCK_NONBLOCK);
  int ends[2];
  // The driver makes its end non-blocking when it adopts it.
  if (::socketpair(AF_UNIX, SOCK_DGRAM | flags, 0, ends) == -1) return -1;
  tChannelMessage message{tChannelMessageType::kSocket, {}, {ends[0], ends[1]}};
  const std::int64_t handle = ask(message);
  ::close(ends[1]);
  if (handle < 0) {
    ::close(ends[0]);
    return fail(static_cast<int>(-handle));
  }
  entries_[ends[0]] = tEntry{tKind::kSocket, static_cast<int>(handle), 0};
  return ends[0];
}

int tDriverClient::bind(int descriptor, const sockaddr* address, socklen_t size) {
  tEntry& entry = entries_.at(descriptor);
  tChannelMessage message{tChannelMessageType::kBind, {}, {}};
  message.put(entry.handle);
  message.putBytes(address, address == nullptr ? 0 : size);
  const std::int64_t port = ask(message);
  if (port < 0) return fail(static_cast<int>(-port));
  entry.port = static_cast<std::uint32_t>(port);
  return 0;
}

int tDriverClient::getsockname(int descriptor, sockaddr* address, socklen_t* size) const {
  return tNetlinkHub::writeName(entries_.at(descriptor).port, address, size);
}

int tDriverClient::markHangUps(pollfd* descriptors, nfds_t count) const {
  int ready = 0;
  for (nfds_t i = 0; i < count; ++i) {
    if (ownsSocket(descriptors[i].fd) && (descriptors[i].revents & POLLHUP) != 0) {
      descriptors[i].revents = tNetlinkHub::hungUpEvents(descriptors[i]);
    }
    if (descriptors[i].revents != 0) ++ready;
  }
  return ready;
}

void tDriverClient::prepareFork() {
  childChannel_.reset();
  if (entries_.empty()) return;
  auto channel = std::make_unique<tDriverChannel>();
  if (!channel->connect(path_)) return;
  tChannelMessage message{tChannelMessageType::kAdopt, {}, {}};
  message.put(static_cast<std::uint32_t>(entries_.size()));
  for (const auto& [descriptor, entry] : entries_) message.put(entry.handle);
  if (channel->send(message)) childChannel_ = std::move(channel);
}

void tDriverClient::parentAfterFork() { childChannel_.reset(); }

void tDriverClient::childAfterFork() {
  // The parent's connection stays the parent's: the child only closes its copy.
  if (channel_) {
    ::close(channel_->descriptor());
    channel_->abandon();
  }
  channel_ = std::move(childChannel_);
}

}  // namespace nKESTRELSIM
