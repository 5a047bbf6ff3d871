// The messages a program's process and the simulated driver of its
// kestrel-sim run exchange over their connection: a type, a payload and the
// descriptors passed with it, with the largest payload each type may have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sim/models/tDriverRequest.h"

namespace nKESTRELSIM {

// The longest device path a program names when it opens a device file.
inline constexpr std::uint32_t kMaxPathBytes = 4096;
// A one-time proof that a connection belongs to a child forked by a holder.
inline constexpr std::size_t kForkTokenBytes = 16;

enum class tChannelMessageType : std::uint32_t {
  // program -> driver
  kOpen = 1,         // descriptor passed; payload: the device path. Answer: kAnswer (handle)
  kClose,            // payload: handle. Answer: kAnswer (0) once released
  kIoctl,            // payload: handle, request, argument, prefetched regions. Answer: kRead..., kIoctlDone
  kSocket,           // descriptors passed: program end, driver end. Answer: kAnswer (handle)
  kBind,             // payload: handle, requested address. Answer: kAnswer (port)
  kAdopt,            // payload: a fork token. No answer
  kReadAnswer,       // payload: the bytes asked for
  kForkToken,        // no payload. Answer: kAnswer (0) and a token naming the handles the connection holds
  kTakeOverrun,      // payload: handle. Answer: kAnswer (1 once after a dropped notification, else 0)
  // driver -> program
  kAnswer = 100,     // payload: value (negative: minus errno), and for kForkToken the token
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

}  // namespace nKESTRELSIM
