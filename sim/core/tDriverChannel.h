// One connection between a program's process and the simulated driver
// that serves every process of a kestrel-sim run: framed messages over a
// Unix stream socket, each a type, a payload and the descriptors passed
// with it.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace nKESTRELSIM {

// Beside the driver's socket: one byte per handle, set when the driver
// dropped a notification for that socket (the program's next receive fails
// with ENOBUFS, as the kernel's does).
inline constexpr const char* kOverrunFlagsSuffix = ".overruns";
inline constexpr std::size_t kOverrunFlagBytes = 65536;

enum class tChannelMessageType : std::uint32_t {
  // program -> driver
  kOpen = 1,         // descriptor passed; payload: the device path. Answer: kAnswer (handle)
  kClose,            // payload: handle. No answer
  kIoctl,            // payload: handle, request, argument, prefetched regions. Answer: kRead..., kIoctlDone
  kSocket,           // descriptors passed: program end, driver end. Answer: kAnswer (handle)
  kBind,             // payload: handle, requested port. Answer: kAnswer (port)
  kAdopt,            // payload: handles a forked child inherited. No answer
  kReadAnswer,       // payload: the bytes asked for
  // driver -> program
  kAnswer = 100,     // payload: value (negative: minus errno)
  kRead,             // payload: address, size
  kIoctlDone,        // payload: result, errno, writes
};

struct tChannelMessage {
  tChannelMessageType type{};
  std::vector<std::uint8_t> payload;
  std::vector<int> descriptors;

  template <class Value>
  void put(const Value& value) {
    const std::size_t at = payload.size();
    payload.resize(at + sizeof value);
    std::memcpy(payload.data() + at, &value, sizeof value);
  }
  void putBytes(const void* data, std::size_t size);
  void putText(const std::string& text) { putBytes(text.data(), text.size()); }
};

// Reads a payload front to back; reading past its end sets failed().
class tPayloadReader {
 public:
  explicit tPayloadReader(const std::vector<std::uint8_t>& payload) noexcept : payload_(payload) {}
  template <class Value>
  Value get() noexcept {
    Value value{};
    if (position_ + sizeof value > payload_.size()) {
      failed_ = true;
      return value;
    }
    std::memcpy(&value, payload_.data() + position_, sizeof value);
    position_ += sizeof value;
    return value;
  }
  // A size-prefixed run of bytes; the returned pointer stays valid as long as the payload.
  const std::uint8_t* getBytes(std::size_t& size) noexcept;
  std::string getText();
  bool failed() const noexcept { return failed_; }

 private:
  const std::vector<std::uint8_t>& payload_;
  std::size_t position_ = 0;
  bool failed_ = false;
};

class tDriverChannel {
 public:
  tDriverChannel() = default;
  explicit tDriverChannel(int descriptor) noexcept : descriptor_(descriptor) {}
  ~tDriverChannel();
  tDriverChannel(const tDriverChannel&) = delete;
  tDriverChannel& operator=(const tDriverChannel&) = delete;

  // Connects to the driver listening at `path`; false with errno.
  bool connect(const std::string& path);
  int descriptor() const noexcept { return descriptor_; }
  // Forgets the descriptor without closing it (a forked child's copy is
  // closed by the child).
  void abandon() noexcept;
  void close() noexcept;

  // False when the peer is gone. Descriptors received are the caller's to close.
  bool send(const tChannelMessage& message) noexcept;
  bool receive(tChannelMessage& message);
  // How long a receive polls before it sleeps (0: it sleeps at once).
  void spinFor(std::chrono::microseconds time) noexcept { spin_ = time; }
  // A whole frame was received already: receive() returns it without waiting.
  bool hasFrame() const noexcept;

 private:
  // One frame from the bytes received so far; false while incomplete.
  bool takeFrame(tChannelMessage& message);
  ssize_t receiveSpinning(msghdr& header) noexcept;

  int descriptor_ = -1;
  std::chrono::microseconds spin_{0};
  // Bytes received beyond the frames taken ([start_, end_) of the buffer),
  // and descriptors not yet taken.
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  std::vector<int> descriptors_;
};

}  // namespace nKESTRELSIM
