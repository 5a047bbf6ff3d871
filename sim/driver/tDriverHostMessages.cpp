// What the shared driver does with each message a program's process sends.
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/driver/tDriverHost.h"
#include "sim/driver/tRemoteMemory.h"

namespace nKESTRELSIM {
namespace {

// A request whose program keeps answering reads with bytes that do not
// satisfy it is not handled forever.
constexpr std::size_t kMaxFetches = 16;

void closeAll(const std::vector<int>& descriptors) {
  for (const int descriptor : descriptors) ::close(descriptor);
}

}  // namespace

bool tDriverHost::handleMessage(tHostConnection& connection, tChannelMessage& message) {
  // Only an open and a socket take descriptors along.
  if (message.type != tChannelMessageType::kOpen && message.type != tChannelMessageType::kSocket) {
    closeAll(message.descriptors);
    message.descriptors.clear();
  }
  // A program that sends anything else while its request waits for a read
  // has given up on that request.
  if (connection.pending && message.type != tChannelMessageType::kReadAnswer) {
    finishRequest(connection, -1, EFAULT, nullptr);
  }
  system_.servingConnection(connection.serial, connection.processId);
  switch (message.type) {
    case tChannelMessageType::kOpen: open(connection, message); break;
    case tChannelMessageType::kIoctl: ioctl(connection, message); break;
    case tChannelMessageType::kSocket: socket(connection, message); break;
    case tChannelMessageType::kBind: bind(connection, message); break;
    case tChannelMessageType::kAdopt: adopt(connection, message); break;
    case tChannelMessageType::kClose: close(connection, message); break;
    case tChannelMessageType::kReadAnswer: readAnswer(connection, message); break;
    case tChannelMessageType::kForkToken: issueToken(connection, connection.channel.descriptor()); break;
    case tChannelMessageType::kTakeOverrun: takeOverrun(connection, message); break;
    default: return false;
  }
  return true;
}

void tDriverHost::answer(tHostConnection& connection, std::int64_t value) {
  tChannelMessage message{tChannelMessageType::kAnswer, {}, {}};
  message.put(value);
  connection.send(message);
}

void tDriverHost::open(tHostConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const std::string path = reader.getText();
  if (message.descriptors.size() != 1 || reader.failed()) {
    closeAll(message.descriptors);
    answer(connection, -EBADF);
    return;
  }
  const int handle = message.descriptors[0];
  if (system_.adoptDevice(handle, path) == -1) {
    const int error = errno;
    ::close(handle);
    answer(connection, -error);
    return;
  }
  hold(connection, handle, true);
  answer(connection, handle);
}

void tDriverHost::socket(tHostConnection& connection, tChannelMessage& message) {
  if (message.descriptors.size() != 2) {
    closeAll(message.descriptors);
    answer(connection, -EBADF);
    return;
  }
  const int handle = message.descriptors[0];
  system_.adoptSocket(handle, message.descriptors[1]);
  hold(connection, handle, false);
  answer(connection, handle);
}

void tDriverHost::bind(tHostConnection& connection, const tChannelMessage& message) {
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
  const int result = system_.bindSocketFor(handle, bytes == nullptr ? nullptr : reinterpret_cast<const sockaddr*>(&address),
                                              static_cast<socklen_t>(size),
                                              static_cast<std::uint32_t>(connection.processId), port);
  answer(connection, result == -1 ? -static_cast<std::int64_t>(errno) : port);
}

void tDriverHost::close(tHostConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const int handle = reader.get<int>();
  if (!reader.failed() && connection.handles.count(handle) != 0) drop(connection, handle);
  answer(connection, 0);
}

// Only a holder of the socket learns of (and clears) its overrun.
void tDriverHost::takeOverrun(tHostConnection& connection, const tChannelMessage& message) {
  tPayloadReader reader(message.payload);
  const int handle = reader.get<int>();
  const bool held = !reader.failed() && connection.handles.count(handle) != 0;
  answer(connection, held && system_.takeSocketOverrun(handle) ? 1 : 0);
}

// A process about to fork names what its child will hold: the token lets
// exactly one connection adopt the handles this connection holds now.
void tDriverHost::issueToken(tHostConnection& connection, int descriptor) {
  tToken token{};
  if (::getrandom(token.data(), token.size(), 0) != static_cast<ssize_t>(token.size())) {
    answer(connection, -EAGAIN);
    return;
  }
  std::erase_if(tokens_, [descriptor](const auto& entry) { return entry.second.parent == descriptor; });
  tokens_[token] = tForkToken{descriptor, connection.handles};
  tChannelMessage message{tChannelMessageType::kAnswer, {}, {}};
  message.put(std::int64_t{0});
  message.payload.insert(message.payload.end(), token.begin(), token.end());
  connection.send(message);
}

void tDriverHost::adopt(tHostConnection& connection, const tChannelMessage& message) {
  tToken token{};
  auto found = tokens_.end();
  if (message.payload.size() == token.size()) {
    std::memcpy(token.data(), message.payload.data(), token.size());
    found = tokens_.find(token);
  }
  if (found == tokens_.end()) {
    refusedAdoptions_.fetch_add(1, std::memory_order_acq_rel);
    std::fprintf(stderr, "kestrel-sim: process %d asked for device files and sockets that no parent of it held; "
                         "refused\n", static_cast<int>(connection.processId));
    return;
  }
  for (const int handle : found->second.handles) {
    const auto held = handles_.find(handle);
    if (held != handles_.end()) hold(connection, handle, held->second.device);
  }
  tokens_.erase(found);
}

void tDriverHost::ioctl(tHostConnection& connection, tChannelMessage& message) {
  connection.pending.emplace();
  connection.pending->request = std::move(message);
  attempt(connection);
}

// The bytes the waiting request asked for; a late answer to a read the
// driver gave up on is dropped.
void tDriverHost::readAnswer(tHostConnection& connection, tChannelMessage& message) {
  if (!connection.pending || connection.pending->size == 0) {
    connection.abandonedRead.reset();
    return;
  }
  tPendingRequest& pending = *connection.pending;
  tPayloadReader reader(message.payload);
  std::size_t size = 0;
  const std::uint8_t* bytes = reader.getBytes(size);
  // A short answer reads as zeros beyond what came.
  std::vector<std::uint8_t> fetched;
  if (bytes != nullptr && size == pending.size) {
    message.payload.erase(message.payload.begin(), message.payload.begin() + sizeof(std::uint32_t));
    fetched = std::move(message.payload);
  } else {
    fetched.assign(pending.size, 0);
    if (bytes != nullptr) std::memcpy(fetched.data(), bytes, std::min<std::size_t>(size, pending.size));
  }
  pending.fetched.push_back({pending.address, std::move(fetched)});
  pending.size = 0;
  attempt(connection);
}

void tDriverHost::attempt(tHostConnection& connection) {
  tPendingRequest& pending = *connection.pending;
  tPayloadReader reader(pending.request.payload);
  const int handle = reader.get<int>();
  const auto request = reader.get<std::uint64_t>();
  const auto argument = reader.get<std::uint64_t>();
  const auto regionCount = reader.get<std::uint32_t>();
  tRemoteMemory memory;
  for (std::uint32_t i = 0; i < regionCount && !reader.failed(); ++i) {
    const auto address = reader.get<std::uint64_t>();
    std::size_t size = 0;
    const std::uint8_t* bytes = reader.getBytes(size);
    if (bytes != nullptr) memory.addRegion(address, bytes, size);
  }
  for (const auto& fetched : pending.fetched) memory.addRegion(fetched.address, fetched.bytes.data(), fetched.bytes.size());
  // Requests go to device files only: the handle of a socket is one of this
  // process's descriptors, and the C library's ioctl on it with the
  // program's address would write into this process.
  const auto found = handles_.find(handle);
  const bool held = !reader.failed() && connection.handles.count(handle) != 0;
  if (!held) return finishRequest(connection, -1, EBADF, &memory);
  if (found == handles_.end() || !found->second.device) return finishRequest(connection, -1, ENOTTY, &memory);
  try {
    tUserMemoryScope scope(memory);
    errno = 0;
    const int result = system_.ioctlDescriptor(handle, static_cast<unsigned long>(request),
                                                  reinterpret_cast<void*>(argument));
    finishRequest(connection, result, errno, &memory);
  } catch (const tMemoryNeeded& needed) {
    if (pending.fetched.size() >= kMaxFetches) return finishRequest(connection, -1, EFAULT, nullptr);
    pending.address = needed.address;
    pending.size = needed.size;
    pending.deadline = std::chrono::steady_clock::now() + readBackPatience_;
    tChannelMessage ask{tChannelMessageType::kRead, {}, {}};
    ask.put(needed.address);
    ask.put(needed.size);
    connection.send(ask);
  } catch (const tMemoryFault&) {
    finishRequest(connection, -1, EFAULT, nullptr);
  }
}

void tDriverHost::finishRequest(tHostConnection& connection, std::int32_t result, std::int32_t error,
                                const tRemoteMemory* memory) {
  tChannelMessage done{tChannelMessageType::kIoctlDone, {}, {}};
  done.put(result);
  done.put(error);
  if (memory != nullptr) {
    memory->putWrites(done);
  } else {
    done.put(std::uint32_t{0});
  }
  connection.send(done);
  if (connection.pending && connection.pending->size != 0) connection.abandonedRead = connection.pending->size;
  connection.pending.reset();
}

// A program that does not answer a read of its memory in time (stopped,
// or gone without closing) loses that request only: it fails with
// ETIMEDOUT, as if the program had vanished.
void tDriverHost::expireReadBacks(std::vector<int>& ended) {
  const auto now = std::chrono::steady_clock::now();
  for (auto& [descriptor, connection] : connections_) {
    if (connection->pending && connection->pending->size != 0 && now >= connection->pending->deadline) {
      finishRequest(*connection, -1, ETIMEDOUT, nullptr);
      if (connection->broken) ended.push_back(descriptor);
    }
  }
}

}  // namespace nKESTRELSIM
