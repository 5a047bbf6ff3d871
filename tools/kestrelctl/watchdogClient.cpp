#include "tools/kestrelctl/watchdogClient.h"

namespace kestrelctl {

tWatchdogClient::~tWatchdogClient() {
  if (open_) KESTREL_closeWatchdog(handle_);
}

std::int32_t tWatchdogClient::open() {
  const std::int32_t code = KESTREL_openWatchdog(&handle_);
  open_ = code >= 0;
  return code;
}

tResult<std::int32_t> tWatchdogClient::waitForNotification() const {
  tResult<std::int32_t> result;
  result.code = KESTREL_waitForWatchdogNotification(handle_, &result.value);
  return result;
}

tResult<std::uint32_t> tWatchdogClient::readU32(std::uint32_t id) const {
  tResult<std::uint32_t> result;
  result.code = KESTREL_getAttributeU32(handle_, id, &result.value);
  return result;
}

std::int32_t tWatchdogClient::writeU32(std::uint32_t id, std::uint32_t value) const {
  return KESTREL_setAttributeU32(handle_, id, value);
}

}  // namespace kestrelctl
