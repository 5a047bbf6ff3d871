#include "sim/driver/tChannelMessage.h"

namespace nKESTRELSIM {

void tChannelMessage::putBytes(const void* data, std::size_t size) {
  put(static_cast<std::uint32_t>(size));
  if (size == 0) return;
  const std::size_t at = payload.size();
  payload.resize(at + size);
  std::memcpy(payload.data() + at, data, size);
}

const std::uint8_t* tPayloadReader::getBytes(std::size_t& size) noexcept {
  size = get<std::uint32_t>();
  if (failed_ || size > payload_.size() - position_) {
    failed_ = true;
    size = 0;
    return nullptr;
  }
  const std::uint8_t* bytes = payload_.data() + position_;
  position_ += size;
  return bytes;
}

std::string tPayloadReader::getText() {
  std::size_t size = 0;
  const std::uint8_t* bytes = getBytes(size);
  return bytes == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(bytes), size);
}

}  // namespace nKESTRELSIM
