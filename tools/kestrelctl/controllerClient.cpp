#include "tools/kestrelctl/controllerClient.h"

#include <vector>

namespace kestrelctl {

tControllerClient::~tControllerClient() {
  if (open_) KESTREL_closeController(handle_);
}

std::int32_t tControllerClient::open() {
  const std::int32_t code = KESTREL_openController(&handle_);
  open_ = code >= 0;
  return code;
}

tResult<std::uint32_t> tControllerClient::readU32(std::uint32_t id) const {
  tResult<std::uint32_t> result;
  result.code = KESTREL_getAttributeU32(handle_, id, &result.value);
  return result;
}

tResult<std::string> tControllerClient::readText(std::uint32_t id) const {
  tResult<std::string> result;
  std::uint64_t size = 0;
  result.code = KESTREL_getAttributeUTF8(handle_, id, nullptr, &size);
  // A text can change between the calls; ask again while it keeps growing.
  for (int attempt = 0; attempt < 4 && result.code == kestrelerr_bufferTooSmall; ++attempt) {
    std::vector<char> buffer(size + 1, '\0');
    std::uint64_t capacity = buffer.size();
    result.code = KESTREL_getAttributeUTF8(handle_, id, buffer.data(), &capacity);
    if (result.code >= 0) {
      result.value = buffer.data();
    } else {
      size = capacity;
    }
  }
  return result;
}

std::int32_t tControllerClient::writeU32(std::uint32_t id, std::uint32_t value) const {
  return KESTREL_setAttributeU32(handle_, id, value);
}

std::int32_t tControllerClient::writeText(std::uint32_t id, const std::string& value) const {
  return KESTREL_setAttributeUTF8(handle_, id, value.c_str());
}

}  // namespace kestrelctl
