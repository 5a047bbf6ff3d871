// One connection between a program's process and the simulated driver
// that serves every process of a kestrel-sim run: framed messages
// (tChannelMessage) over a Unix stream socket.
//
// A program's side waits for its answers (receive, send). The driver's side
// never waits on one connection: it takes what has arrived
// (receiveAvailable), keeps a partial frame until the rest comes, and
// queues what the socket does not take at once (queue, flush).
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/driver/tChannelMessage.h"
#include "sim/driver/tFrameAssembler.h"

namespace nKESTRELSIM {

class tDriverChannel {
 public:
  tDriverChannel() = default;
  explicit tDriverChannel(int descriptor) noexcept : descriptor_(descriptor) {}
  ~tDriverChannel();
  tDriverChannel(const tDriverChannel&) = delete;
  tDriverChannel& operator=(const tDriverChannel&) = delete;

  // Connects to the driver listening at `path`; false with errno. The
  // connection's descriptor is close-on-exec and never one of 0, 1 and 2.
  bool connect(const std::string& path);
  int descriptor() const noexcept { return descriptor_; }
  // Forgets the descriptor without closing it (a forked child's copy is
  // closed by the child).
  void abandon() noexcept;
  void close() noexcept;
  void limitPayloads(tFrameAssembler::tPayloadLimit limit) { frames_.limitPayloads(std::move(limit)); }

  // --- Waiting side ------------------------------------------------------
  // False when the peer is gone. Descriptors received are the caller's to close.
  bool send(const tChannelMessage& message) noexcept;
  bool receive(tChannelMessage& message);
  // How long a receive polls before it sleeps (0: it sleeps at once).
  void spinFor(std::chrono::microseconds time) noexcept { spin_ = time; }

  // --- Serving side (a non-blocking socket) ------------------------------
  enum class tReceived { kFrame, kPending, kEnded };
  // A whole frame if one has arrived, reading what the socket holds
  // without waiting (at most about `budget` bytes). kEnded once the peer
  // is gone or sent a frame beyond the limits.
  tReceived receiveAvailable(tChannelMessage& message, std::size_t budget = kReadBudget);
  bool hasFrame() const noexcept { return frames_.hasFrame(); }
  // Sends what the socket takes now and keeps the rest (no descriptors):
  // false when the peer is gone or leaves more than kMaxQueued unread.
  bool queue(const tChannelMessage& message);
  // Writes queued bytes as far as the socket takes them; false when the peer is gone.
  bool flush();
  bool hasQueued() const noexcept { return queuedStart_ != queued_.size(); }
  std::size_t reserved() const noexcept { return frames_.reserved() + queued_.capacity(); }
  // Bytes received since the connection was made: a peer that sends is alive.
  std::uint64_t bytesReceived() const noexcept { return bytesReceived_; }

  static constexpr std::size_t kReadBudget = 1024 * 1024;
  static constexpr std::size_t kMaxQueued = 4 * 1024 * 1024;

 private:
  // One receive into the frames; 0 at the end, -1 with errno.
  ssize_t receiveSome(bool wait);
  ssize_t receiveSpinning(msghdr& header) noexcept;

  int descriptor_ = -1;
  std::chrono::microseconds spin_{0};
  tFrameAssembler frames_;
  std::vector<std::uint8_t> queued_;  // [queuedStart_, end) not sent yet
  std::size_t queuedStart_ = 0;
  std::uint64_t bytesReceived_ = 0;
};

}  // namespace nKESTRELSIM
