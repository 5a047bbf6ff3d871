// The common steps of every generated proxy method: the caller's status
// travels as statusIn, a transport failure is merged into the caller's
// status, the driver's status is stored with the proxy's file and the
// method's line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestrel/kestrel.h"
#include "platform/iInterfaceProxy.h"
#include "platform/kSourceLocation.h"
#include "platform/tStatus.h"

namespace nKESTREL1400 {

// Every output record ends in the driver's status, which a driver always
// writes. It starts as an I/O failure: a driver that answers without
// copying its record back (or copies back a short one, which never reaches
// the whole status) leaves an error there, not a success with zero values.
inline constexpr std::int32_t kStatusNotWritten = brioerr_ioFailure;

// Sends one request. Returns true when the driver answered (the output
// record is valid, also when it carries a driver error); false when the
// system call failed, whose code is then merged into `status`.
template <class Input, class Output>
bool sendRequest(nBRIO000::iInterfaceProxy& proxy, std::uint32_t request, Input& input, Output& output,
                 tStatus& status) noexcept {
  static_assert(offsetof(Output, status) + sizeof output.status == sizeof(Output));
  output.status = kStatusNotWritten;
  tStatus local;
  proxy.ioctl(request, &input, sizeof input, &output, sizeof output, local);
  if (local.isError()) {
    status.mergeFrom(local);
    return false;
  }
  return true;
}

// The caller's status code as sent in statusIn.
inline std::int32_t statusIn(const tStatus& status) noexcept { return status.getCode(); }

inline void storeDriverStatus(tStatus& status, std::int32_t driverStatus, const char* file,
                              std::uint32_t line) noexcept {
  status.setCode(driverStatus, kComponent, file, line);
}

inline std::uint64_t addressOf(const void* pointer) noexcept { return reinterpret_cast<std::uint64_t>(pointer); }

}  // namespace nKESTREL1400
