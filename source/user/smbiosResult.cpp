#include "source/user/smbiosResult.h"

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"

namespace nKESTREL1400 {
namespace {
constexpr kSourceLocation kNotSupported{"tControllerUserSession", 266};
constexpr kSourceLocation kBufferTooSmall{"tControllerUserSession", 268};
// Larger than any SMBIOS string; a reader asking for more is not believed.
constexpr std::uint32_t kLargestText = 1u << 16;
}  // namespace

void mapSmbiosResult(std::int32_t result, tStatusReport& report) noexcept {
  switch (result) {
    case smbioserr_stringNotPresent:
    case smbioserr_notFound:
      setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
      break;
    case smbioserr_bufferTooSmall:
      setCode(report, kestrelerr_bufferTooSmall, kBufferTooSmall);
      break;
    default:
      break;
  }
}

std::int32_t tSmbiosText::read(std::uint32_t selector, std::uint32_t instance) noexcept {
  for (;;) {
    std::uint32_t size = capacity_;
    const std::int32_t result = nZESMBIOS_1_1::smBiosReadString(selector, instance, buffer_, &size);
    if (result != smbioserr_bufferTooSmall) return result;
    if (size <= capacity_ || size > kLargestText) return smbioserr_corrupt;
    auto* larger = static_cast<char*>(std::realloc(buffer_, size));
    if (larger == nullptr) return kestrelerr_memoryFull;
    buffer_ = larger;
    capacity_ = size;
  }
}

}  // namespace nKESTREL1400
