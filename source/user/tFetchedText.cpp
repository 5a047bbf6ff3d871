#include <cstring>

#include "codegen/tInterfaceProxy_hostMarten.h"
#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/firmwareUpdateSteps.h"
#include "source/user/smbiosResult.h"

namespace nKESTREL1400 {
namespace {
constexpr kSourceLocation kNoMemory{kUpdateFile, 868};
constexpr kSourceLocation kImplausibleSize{kUpdateFile, 870};
constexpr std::uint32_t kBiosVersionText = 0x0005;  // type 0, offset 05h
// The companion's texts are versions of a few characters: a size answer
// beyond this is a malformed reply, not an allocation to make.
constexpr std::uint32_t kMaxCompanionText = 4096;
}  // namespace

bool tFetchedText::allocate(std::uint32_t size, tStatusReport& report) noexcept {
  bytes_ = static_cast<char*>(std::calloc(size == 0 ? 1 : size, 1));
  size_ = size;
  if (bytes_ == nullptr) setCode(report, kestrelerr_memoryFull, kNoMemory);
  return bytes_ != nullptr;
}

tFetchedText::tOutcome tFetchedText::fetchBiosVersion(tStatusReport& report) noexcept {
  std::uint32_t size = 0;
  const std::int32_t asked = nZESMBIOS_1_1::smBiosReadString(kBiosVersionText, 0, nullptr, &size);
  if (asked != smbioserr_bufferTooSmall) {
    mapSmbiosResult(asked, report);
    return tOutcome::sizeRefused;
  }
  if (!allocate(size, report)) return tOutcome::readFailed;
  const std::int32_t read = nZESMBIOS_1_1::smBiosReadString(kBiosVersionText, 0, bytes_, &size);
  if (read != 0) mapSmbiosResult(read, report);
  return report.code < 0 ? tOutcome::readFailed : tOutcome::read;
}

tFetchedText::tOutcome tFetchedText::fetchCompanion(tInterfaceProxy_hostMarten& proxy, std::uint32_t id,
                                                    tStatusReport& report) noexcept {
  tStatus asked;
  std::uint32_t size = 0;
  proxy.getAttribute(id, nullptr, size, asked);
  if (asked.code != kestrelerr_bufferTooSmall) {
    asked.copyToReport(report);
    return asked.isError() ? tOutcome::sizeRefused : tOutcome::read;
  }
  if (size > kMaxCompanionText) {
    setCode(report, brioerr_ioFailure, kImplausibleSize);
    return tOutcome::readFailed;
  }
  if (!allocate(size, report)) return tOutcome::readFailed;
  tStatus read;
  proxy.getAttribute(id, bytes_, size, read);
  read.copyToReport(report);
  return read.isError() ? tOutcome::readFailed : tOutcome::read;
}

std::string_view tFetchedText::text() const noexcept {
  if (bytes_ == nullptr) return {};
  const void* nul = std::memchr(bytes_, '\0', size_);
  return {bytes_, nul == nullptr ? size_ : static_cast<std::size_t>(static_cast<const char*>(nul) - bytes_)};
}

}  // namespace nKESTREL1400
