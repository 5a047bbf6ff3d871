#include "sim/driver/tDriverClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/driverWireFormat.h"
#include "sim/driver/tNetlinkHub.h"
#include "sim/libc/descriptorPlacement.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

// An answer usually comes within a few microseconds of a request.
constexpr std::chrono::microseconds kAnswerSpin{100};

// Said once per program (a forked child does not say it again).
std::atomic<bool> gGoneAnnounced{false};

}  // namespace

void tDriverClient::announceGone() {
  if (gGoneAnnounced.exchange(true)) return;
  static constexpr char kLine[] =
      "kestrel-sim: the simulated controller of this run has ended (its kestrel-sim is no longer running); "
      "its devices answer ENODEV\n";
  [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
}

namespace {

void putRegion(tChannelMessage& message, std::uint64_t address, std::size_t size) {
  message.put(address);
  message.putBytes(reinterpret_cast<const void*>(address), size);
}

// The caller's records the driver reads for sure travel with the request:
// the transfer descriptor and its input record (unless it is larger than
// the driver takes), or the registration record.
void putPrefetchedRegions(tChannelMessage& message, unsigned long request, void* argument) {
  const auto address = reinterpret_cast<std::uint64_t>(argument);
  std::uint32_t count = 0;
  const std::size_t countAt = message.payload.size();
  message.put(count);
  if (argument == nullptr) return;
  if (request == kRegisterNotification) {
    putRegion(message, address, sizeof(tNotificationRegistration));
    count = 1;
  } else if (ioctlSize(request) == sizeof(tTransferDescriptor)) {
    tTransferDescriptor descriptor{};
    std::memcpy(&descriptor, argument, sizeof descriptor);
    putRegion(message, address, sizeof descriptor);
    count = 1;
    if (descriptor.inputAddress != 0 && descriptor.inputSize != 0 && descriptor.inputSize <= kMaxRecordBytes) {
      putRegion(message, descriptor.inputAddress, descriptor.inputSize);
      count = 2;
    }
  }
  std::memcpy(message.payload.data() + countAt, &count, sizeof count);
}

}  // namespace

tDriverClient::tDriverClient(std::string path) : path_(std::move(path)) {
  // A program started after its run ended may never touch the controller:
  // it is told only when it does.
  if (!ensureConnected()) gone_ = true;
}

bool tDriverClient::ensureConnected() {
  if (gone_) return false;
  if (channel_) return true;
  auto channel = std::make_unique<tDriverChannel>();
  if (!channel->connect(path_)) return false;
  channel->spinFor(kAnswerSpin);
  channel_ = std::move(channel);
  return true;
}

// The connection stays open, though dead: its descriptor is not given to
// anything else while another thread may still poll it.
void tDriverClient::lose() {
  if (gone_) return;
  gone_ = true;
  announceGone();
  for (const auto& [descriptor, entry] : entries_) {
    if (entry.kind == tKind::kSocket) ::shutdown(descriptor, SHUT_RDWR);
  }
}

int tDriverClient::connectionDescriptor() const noexcept {
  return channel_ && !gone_ ? channel_->descriptor() : -1;
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

bool tDriverClient::exchange(const tChannelMessage& message, tChannelMessage& answer) {
  if (!ensureConnected() || !channel_->send(message) || !channel_->receive(answer) ||
      answer.type != tChannelMessageType::kAnswer) {
    lose();
    return false;
  }
  for (const int passed : answer.descriptors) ::close(passed);
  return true;
}

std::int64_t tDriverClient::ask(const tChannelMessage& message) {
  tChannelMessage answer;
  if (!exchange(message, answer)) return -ENODEV;
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
  // Answered, as a device's release has run when close() returns: what the
  // descriptor held (a reservation, a registration) is free before this
  // program can tell another one that it is.
  if (channel_ && !gone_) ask(message);
}

int tDriverClient::ioctl(int descriptor, unsigned long request, void* argument) {
  const auto found = entries_.find(descriptor);
  if (found == entries_.end()) return fail(EBADF);
  tChannelMessage message{tChannelMessageType::kIoctl, {}, {}};
  message.put(found->second.handle);
  message.put(static_cast<std::uint64_t>(request));
  message.put(reinterpret_cast<std::uint64_t>(argument));
  putPrefetchedRegions(message, request, argument);
  if (!ensureConnected() || !channel_->send(message)) {
    lose();
    return fail(ENODEV);
  }
  // The driver may ask for more of the caller's memory before it is done.
  tChannelMessage reply;
  for (;;) {
    if (!channel_->receive(reply)) {
      lose();
      return fail(ENODEV);
    }
    tPayloadReader reader(reply.payload);
    if (reply.type == tChannelMessageType::kRead) {
      const auto address = reader.get<std::uint64_t>();
      const auto size = reader.get<std::uint32_t>();
      tChannelMessage bytes{tChannelMessageType::kReadAnswer, {}, {}};
      bytes.putBytes(reinterpret_cast<const void*>(address), reader.failed() ? 0 : size);
      if (!channel_->send(bytes)) {
        lose();
        return fail(ENODEV);
      }
      continue;
    }
    if (reply.type != tChannelMessageType::kIoctlDone) {
      lose();
      return fail(ENODEV);
    }
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
  if (gone_) return fail(ENODEV);
  const int flags = type & (SOCK_CLOEXEC | SOCK_NONBLOCK);
  int ends[2];
  // The driver makes its end non-blocking when it adopts it; until it is
  // passed, it stays clear of the standard streams like any of the
  // simulator's descriptors.
  if (::socketpair(AF_UNIX, SOCK_DGRAM | flags, 0, ends) == -1) return -1;
  ends[1] = aboveStandardStreams(ends[1]);
  if (ends[1] == -1) {
    const int error = errno;
    ::close(ends[0]);
    return fail(error);
  }
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

bool tDriverClient::takeOverrun(int descriptor) {
  const auto found = entries_.find(descriptor);
  if (found == entries_.end() || found->second.kind != tKind::kSocket || gone_) return false;
  tChannelMessage message{tChannelMessageType::kTakeOverrun, {}, {}};
  message.put(found->second.handle);
  return ask(message) == 1;
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
  if (entries_.empty() || gone_) return;
  tChannelMessage answer;
  if (!exchange(tChannelMessage{tChannelMessageType::kForkToken, {}, {}}, answer)) return;
  tPayloadReader reader(answer.payload);
  if (reader.get<std::int64_t>() != 0 || answer.payload.size() != sizeof(std::int64_t) + kForkTokenBytes) return;
  auto channel = std::make_unique<tDriverChannel>();
  if (!channel->connect(path_)) return;
  tChannelMessage adopt{tChannelMessageType::kAdopt, {}, {}};
  adopt.payload.assign(answer.payload.begin() + sizeof(std::int64_t), answer.payload.end());
  if (channel->send(adopt)) {
    channel->spinFor(kAnswerSpin);
    childChannel_ = std::move(channel);
  }
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
