// The device path of the trigger router, answered without any session.
#pragma once

#include <cstdint>

#include "platform/deviceInterfaceNames.h"

namespace nKESTREL1400 {

// Two-call size protocol: when *length is smaller than the path and its
// NUL, the size needed is written back with -26930. Otherwise the path is
// copied when `buffer` is not null (errno 0; null buffer: errno EINVAL) and
// *length is left unchanged. No interface gives -26932.
std::int32_t getTriggerRouterPath(char* buffer, std::uint64_t& length) noexcept;

}  // namespace nKESTREL1400
