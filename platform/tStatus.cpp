#include "platform/tStatus.h"

#include <cstring>
#include <exception>

#include "json/jsonWriter.h"
#include "platform/statusMergeRule.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"

namespace nKESTREL1400 {
namespace {

constexpr std::size_t kFileKeep = 49;
constexpr std::int32_t kMemberReserve = 256;

void copyComponent(char (&destination)[tStatus::kComponentSize], const char* source) {
  const std::size_t length = source == nullptr ? 0 : strnlen(source, tStatus::kComponentSize - 1);
  if (length != 0) std::memcpy(destination, source, length);
  destination[length] = '\0';
}

// A name longer than 100 characters keeps its first and last 49 around "..".
void copyFile(char (&destination)[tStatus::kFileSize], const char* source) {
  const std::size_t length = source == nullptr ? 0 : std::strlen(source);
  if (length < tStatus::kFileSize) {
    if (length != 0) std::memcpy(destination, source, length);
    destination[length] = '\0';
    return;
  }
  std::memcpy(destination, source, kFileKeep);
  std::memcpy(destination + kFileKeep, "..", 2);
  std::memcpy(destination + kFileKeep + 2, source + length - kFileKeep, kFileKeep);
  destination[2 * kFileKeep + 2] = '\0';
}

}  // namespace

tStatus::tStatus() noexcept : size(kSize), code(0), component{}, file{}, line(0), extension{} {}

bool tStatus::setCode(std::int64_t newCode, const char* componentName, const char* fileName,
                      std::uint64_t lineNumber) noexcept {
  if (!mergeRuleStores(code, newCode)) return false;
  code = newCode;
  if (hasLocation()) {
    copyComponent(component, componentName);
    copyFile(file, fileName);
    line = lineNumber;
    extension[0] = 0;
  }
  return true;
}

bool tStatus::mergeFrom(const tStatus& other) noexcept {
  const bool located = other.hasLocation();
  const bool stored = setCode(other.code, located ? other.component : "", located ? other.file : "",
                              located ? other.line : 0);
  if (stored && located && hasLocation()) {
    for (std::size_t i = 0; i < kExtensionWords; ++i) {
      extension[i] = other.extension[i];
      if (other.extension[i] == 0) break;
    }
  }
  return stored;
}

void tStatus::copyToReport(tStatusReport& report) const noexcept {
  if (code == 0) return;
  if (!nKESTREL1400::setCode(report, static_cast<std::int32_t>(code)) || !hasLocation()) return;
  if (file[0] != '\0') {
    jsonz_addString(reserveReportSpace(report, kMemberReserve), "file", file);
    jsonz_addUInt64(reserveReportSpace(report, kMemberReserve), "line", line);
  }
  if (component[0] != '\0') {
    jsonz_addString(reserveReportSpace(report, kMemberReserve), "component", component);
  }
}

void tStatus::throwIfError() const {
  if (!isError() || std::uncaught_exceptions() != 0) return;
  zeerr::Exception exception;
  copyToReport(exception.statusReport());
  throw exception;
}

}  // namespace nKESTREL1400
