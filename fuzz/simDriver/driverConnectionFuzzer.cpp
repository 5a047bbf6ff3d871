// The driver kestrel-sim serves to every process of a run, against two
// clients whose messages come from the input: opens with any descriptor and
// path, requests on any handle with any records and addresses, sockets,
// binds, adoptions, answers nobody asked for, reads left unanswered and
// frames of any type, each sent whole or in pieces between which the other
// client acts. The driver must answer every message that wants an answer,
// also while the other connection holds a partial frame, never touch its
// own memory on a client's address, and, once the connections end, hold no
// registration, socket or descriptor of theirs.
#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/driverWireFormat.h"
#include "sim/driver/tDriverChannel.h"
#include "sim/driver/tDriverHost.h"
#include "sim/driver/tFrameAssembler.h"
#include "sim/libc/tReentryGuard.h"
#include "sim/models/tHostileModel.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

namespace {

using namespace nKESTRELSIM;
using namespace nKESTREL1400::nDriverWire;

struct tServed {
  tServed() {
    auto& sim = tSimulator::instance();
    sim.start();
    sim.limitRequestLog(64);
    tProfile::defaults().apply(sim, true);
    for (const tDeviceNode* node : sim.interfaces()) devicePaths.push_back(node->devicePath);
    socketPath = sim.root() + "/driver";
    host = std::make_unique<tDriverHost>(sim, socketPath);
    host->start();
  }
  std::vector<std::string> devicePaths;
  std::string socketPath;
  std::unique_ptr<tDriverHost> host;
};

tServed& served() {
  static tServed* instance = new tServed();  // serves until the process ends
  return *instance;
}

// Descriptors of sockets and of the sandbox's files (libFuzzer opens others of its own).
int openDescriptors() {
  DIR* directory = opendir("/proc/self/fd");
  if (directory == nullptr) std::abort();
  const std::string root = tSimulator::instance().root();
  int count = 0;
  while (const dirent* entry = readdir(directory)) {
    char target[512] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(link.c_str(), target, sizeof target - 1) <= 0) continue;
    const std::string text = target;
    if (text.rfind("socket:", 0) == 0 || text.rfind(root, 0) == 0) ++count;
  }
  closedir(directory);
  return count;
}

constexpr std::uint32_t kRequests[] = {kRegisterNotification, kUnregisterNotification, kGetAttribute, kSetAttribute,
                                       kStartWatchdogTimer, kPetWatchdog, kReserveRoute, kCalculateRoute};

class tClient {
 public:
  tClient(tByteScript& script, tChannelMessage& scratch) : script_(script), reply_(scratch) {
    for (auto& byte : memory_) byte = script_.next();
  }

  bool connect() { return channel_.connect(served().socketPath); }

  // Ends the connection, a frame sent in part included, and waits until the
  // driver has seen it end: it closes its side once it has released what
  // the connection held.
  ~tClient() {
    ::shutdown(channel_.descriptor(), SHUT_WR);
    char bytes[4096];
    while (::recv(channel_.descriptor(), bytes, sizeof bytes, 0) > 0) {
    }
    for (const int end : socketEnds_) ::close(end);
  }

  // One step: more of a frame sent in part, or a new message; false once
  // the driver ended the connection.
  bool step() {
    if (!rest_.empty()) return sendRest();
    switch (script_.next() % 9) {
      case 0: return open();
      case 1: return sendHandle(tChannelMessageType::kClose);
      case 2: return ioctl();
      case 3: return socket();
      case 4: return bind();
      case 5: return adopt();
      case 6: return raw(tChannelMessageType::kReadAnswer);
      case 7: return transmit(tChannelMessage{tChannelMessageType::kForkToken, {}, {}}, tAwaits::kAnswer);
      default: return raw(static_cast<tChannelMessageType>(script_.next32()));
    }
  }

 private:
  enum class tAwaits { kNothing, kAnswer, kRequestDone };

  int handle() {
    const std::uint8_t choice = script_.next();
    if (!handles_.empty() && choice < 200) return handles_[choice % handles_.size()];
    return static_cast<int>(script_.next32());
  }
  std::uint64_t address() {
    const std::uint8_t choice = script_.next();
    if (choice < 160) return reinterpret_cast<std::uint64_t>(memory_ + choice % sizeof memory_);
    if (choice < 200) return 0;
    return (static_cast<std::uint64_t>(script_.next32()) << 32) | script_.next32();
  }
  std::string text() {
    std::string value(script_.next() % 48, '\0');
    for (char& c : value) c = static_cast<char>(script_.next());
    return value;
  }

  bool sendPiece(const std::uint8_t* bytes, std::size_t size, const std::vector<int>& descriptors) {
    iovec vector{const_cast<std::uint8_t*>(bytes), size};
    msghdr header{};
    header.msg_iov = &vector;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)]{};
    if (!descriptors.empty()) {
      header.msg_control = control;
      header.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
      cmsghdr* entry = CMSG_FIRSTHDR(&header);
      entry->cmsg_level = SOL_SOCKET;
      entry->cmsg_type = SCM_RIGHTS;
      entry->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
      std::memcpy(CMSG_DATA(entry), descriptors.data(), sizeof(int) * descriptors.size());
    }
    for (std::size_t sent = 0; sent < size;) {
      const ssize_t done = ::sendmsg(channel_.descriptor(), &header, MSG_NOSIGNAL);
      if (done <= 0) return false;
      sent += static_cast<std::size_t>(done);
      vector.iov_base = const_cast<std::uint8_t*>(bytes) + sent;
      vector.iov_len = size - sent;
      header.msg_control = nullptr;
      header.msg_controllen = 0;
    }
    return true;
  }

  // The frame whole, or only its first bytes: the rest goes in later steps,
  // and what it awaits is awaited once it has gone whole.
  bool transmit(const tChannelMessage& message, tAwaits awaits) {
    const tFrameHeader header{static_cast<std::uint32_t>(message.type),
                              static_cast<std::uint32_t>(message.payload.size()),
                              static_cast<std::uint32_t>(message.descriptors.size())};
    std::vector<std::uint8_t> frame(sizeof header);
    std::memcpy(frame.data(), &header, sizeof header);
    frame.insert(frame.end(), message.payload.begin(), message.payload.end());
    const std::uint8_t split = script_.next();
    const std::size_t first = split < 192 ? frame.size() : 1 + split % frame.size();
    if (!sendPiece(frame.data(), first, message.descriptors)) return false;
    rest_.assign(frame.begin() + static_cast<std::ptrdiff_t>(first), frame.end());
    awaits_ = awaits;
    return rest_.empty() ? awaitAfterFrame() : true;
  }

  bool sendRest() {
    const std::size_t count = std::min<std::size_t>(rest_.size(), 1 + script_.next() % 32);
    if (!sendPiece(rest_.data(), count, {})) return false;
    rest_.erase(rest_.begin(), rest_.begin() + static_cast<std::ptrdiff_t>(count));
    return rest_.empty() ? awaitAfterFrame() : true;
  }

  bool awaitAfterFrame() {
    switch (awaits_) {
      case tAwaits::kAnswer: return awaitAnswer();
      case tAwaits::kRequestDone: return awaitRequestDone();
      case tAwaits::kNothing: return true;
    }
    return true;
  }

  // An answer to wait for: false when the connection ended instead. What a
  // request left unanswered earlier still brings comes first.
  bool awaitAnswer() {
    do {
      if (!channel_.receive(reply_)) return false;
      for (const int passed : reply_.descriptors) ::close(passed);
    } while (reply_.type == tChannelMessageType::kIoctlDone || reply_.type == tChannelMessageType::kRead);
    if (reply_.type != tChannelMessageType::kAnswer) return false;
    tPayloadReader reader(reply_.payload);
    const auto value = reader.get<std::int64_t>();
    if (value >= 0 && awaitsHandle_) handles_.push_back(static_cast<int>(value));
    return true;
  }

  // Reads of memory the request did not bring along, until it is done, or
  // until the client leaves one unanswered (as a stopped program would).
  bool awaitRequestDone() {
    for (;;) {
      if (!channel_.receive(reply_)) return false;
      if (reply_.type == tChannelMessageType::kIoctlDone) return true;
      if (reply_.type != tChannelMessageType::kRead) return false;
      if (script_.next() > 248) return true;
      tPayloadReader reader(reply_.payload);
      reader.get<std::uint64_t>();
      const auto size = reader.get<std::uint32_t>();
      std::vector<std::uint8_t> bytes(std::min<std::uint32_t>(size, 1u << 20));
      script_.fill(bytes.data(), bytes.size());
      tChannelMessage answer{tChannelMessageType::kReadAnswer, {}, {}};
      if (script_.next() < 240) answer.putBytes(bytes.data(), bytes.size());
      if (!channel_.send(answer)) return false;
    }
  }

  bool open() {
    const auto& paths = served().devicePaths;
    const std::uint8_t choice = script_.next();
    std::string path = choice < 200 ? paths[choice % paths.size()] : text();
    const int descriptor = ::open((tSimulator::instance().root() + paths[choice % paths.size()]).c_str(),
                                  O_RDWR | O_CLOEXEC);
    if (descriptor == -1) std::abort();
    tChannelMessage message{tChannelMessageType::kOpen, {}, {descriptor}};
    if (script_.next() > 240) message.descriptors.clear();
    message.putText(path);
    awaitsHandle_ = true;
    const bool sent = transmit(message, tAwaits::kAnswer);
    ::close(descriptor);
    return sent;
  }

  bool sendHandle(tChannelMessageType type) {
    tChannelMessage message{type, {}, {}};
    message.put(handle());
    return transmit(message, tAwaits::kNothing);
  }

  bool adopt() {
    tChannelMessage message{tChannelMessageType::kAdopt, {}, {}};
    message.payload.resize(script_.next() < 200 ? kForkTokenBytes : script_.next() % 32);
    script_.fill(message.payload.data(), message.payload.size());
    return transmit(message, tAwaits::kNothing);
  }

  bool ioctl() {
    tChannelMessage message{tChannelMessageType::kIoctl, {}, {}};
    message.put(handle());
    const std::uint8_t choice = script_.next();
    const std::uint64_t request = choice < 200 ? kRequests[choice % std::size(kRequests)] : script_.next32();
    message.put(request);
    message.put(address());
    const std::uint32_t regions = script_.next() % 3;
    message.put(regions);
    for (std::uint32_t i = 0; i < regions; ++i) {
      message.put(address());
      const std::size_t size = script_.next() % 64;
      std::vector<std::uint8_t> bytes(size);
      script_.fill(bytes.data(), size);
      message.putBytes(bytes.data(), size);
    }
    return transmit(message, tAwaits::kRequestDone);
  }

  bool socket() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends) == -1) std::abort();
    tChannelMessage message{tChannelMessageType::kSocket, {}, {ends[0], ends[1]}};
    if (script_.next() > 240) message.descriptors.pop_back();
    awaitsHandle_ = true;
    const bool sent = transmit(message, tAwaits::kAnswer);
    ::close(ends[1]);
    socketEnds_.push_back(ends[0]);
    return sent;
  }

  bool bind() {
    tChannelMessage message{tChannelMessageType::kBind, {}, {}};
    message.put(handle());
    sockaddr_nl address{};
    address.nl_family = script_.next() < 200 ? AF_NETLINK : script_.next();
    address.nl_pid = script_.next() < 128 ? 0 : script_.next32();
    message.putBytes(&address, script_.next() < 200 ? sizeof address : script_.next() % sizeof address);
    awaitsHandle_ = false;
    return transmit(message, tAwaits::kAnswer);
  }

  bool raw(tChannelMessageType type) {
    tChannelMessage message{type, {}, {}};
    const std::size_t size = script_.next() % 32;
    message.payload.resize(size);
    script_.fill(message.payload.data(), size);
    return transmit(message, tAwaits::kNothing);
  }

  tByteScript& script_;
  tChannelMessage& reply_;
  tDriverChannel channel_;
  std::vector<int> handles_;
  std::vector<int> socketEnds_;
  std::vector<std::uint8_t> rest_;  // of a frame sent in part
  tAwaits awaits_ = tAwaits::kNothing;
  bool awaitsHandle_ = false;
  alignas(8) std::uint8_t memory_[256] = {};
};

// The driver serves nobody and holds nothing.
void awaitIdle() {
  for (int attempt = 0; attempt < 5000; ++attempt) {
    if (served().host->connections() == 0 && served().host->handles() == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::fprintf(stderr, "the driver still serves %zu connections holding %zu handles\n", served().host->connections(),
               served().host->handles());
  std::abort();
}

// Once the connection has ended, nothing of it is held: no registration, no
// socket, no descriptor of the driver's.
void expectNothingHeld(int descriptorsBefore) {
  awaitIdle();
  auto& sim = tSimulator::instance();
  if (sim.registrations().empty() && sim.ports().empty() && openDescriptors() == descriptorsBefore) return;
  std::fprintf(stderr, "left held: %zu registrations, %zu sockets, %d descriptors (%d before)\n",
               sim.registrations().size(), sim.ports().size(), openDescriptors(), descriptorsBefore);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  awaitIdle();
  const int before = openDescriptors();
  {
    // This process plays the programs' side itself: its connections are
    // plain sockets, not ones the simulator stands in for.
    tReentryGuard guard;
    tByteScript script({data, size});
    tChannelMessage scratch;
    tClient first(script, scratch);
    tClient second(script, scratch);
    if (!first.connect() || !second.connect()) std::abort();
    bool firstOn = true;
    bool secondOn = true;
    for (int steps = 0; steps < 96 && (firstOn || secondOn) && !script.empty(); ++steps) {
      const bool secondActs = secondOn && (!firstOn || (script.next() & 1) != 0);
      if (secondActs) {
        secondOn = second.step();
      } else {
        firstOn = first.step();
      }
    }
  }
  expectNothingHeld(before);
  return 0;
}
