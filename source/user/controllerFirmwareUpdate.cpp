// Firmware update of the controller session. Installing update files is not
// offered by this build: every update is refused as not supported.
#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"
#include "source/user/tControllerUserSession.h"

namespace nKESTREL1400 {
namespace {
constexpr kSourceLocation kNotOffered{"tControllerUserSession", 820};
}

void tControllerUserSession::updateFirmware(const std::uint8_t*, std::uint64_t, std::int32_t,
                                            tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotOffered);
}

}  // namespace nKESTREL1400
