#include "platform/tStatusReport.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "platform/statusMergeRule.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kEmptyReport = "{}";

// Position of the top-level object's closing bracket.
char* closingBracket(tStatusReport& record) {
  const std::size_t length = std::strlen(record.report);
  return length == 0 ? record.report : record.report + length - 1;
}

// The owner's reallocate keeps the text, but a framework's need not leave
// the writer's layout behind it (zero bytes up to the sentinel): without the
// sentinel an insertion would look for room past the buffer's end. So the
// buffer is laid out again after every reallocation; a text without its
// NUL inside the buffer is refused. An empty text becomes `emptyText`.
bool layOutBuffer(tStatusReport& record, const char* emptyText) {
  if (record.report == nullptr || record.capacity <= 0) return false;
  const auto capacity = static_cast<std::size_t>(record.capacity);
  if (std::memchr(record.report, '\0', capacity) == nullptr) return false;
  const char* text = record.report[0] == '\0' ? emptyText : nullptr;
  return jsonz_initBuffer(record.report, capacity, text) != nullptr;
}

char* growForMember(char* position, void* userData) {
  auto& record = *static_cast<tStatusReport*>(userData);
  if (record.report == nullptr || record.capacity <= 0) return nullptr;
  const std::int64_t wanted = 2 * static_cast<std::int64_t>(record.capacity) - 2;
  if (wanted > INT32_MAX) return nullptr;
  const std::ptrdiff_t offset = position - record.report;
  if (!record.reallocate(&record, static_cast<std::int32_t>(wanted)) || !layOutBuffer(record, nullptr)) return nullptr;
  // The insertion position must still lie in the text that was kept.
  if (static_cast<std::size_t>(offset) > std::strlen(record.report)) return nullptr;
  return record.report + offset;
}

// Writes the location members, each retried after growing until it fits.
bool addLocationMembers(tStatusReport& record, const kSourceLocation& location, const char* errorConstant) {
  if (!setReportText(record, kEmptyReport)) return false;
  const jsonz_growHandler grow = reportGrowHandler(record);
  bool complete = true;
  auto member = [&](auto insert) {
    if (insert(closingBracket(record)) == nullptr) complete = false;
  };
  if (errorConstant != nullptr) {
    member([&](char* p) { return jsonz_addString(p, "error_constant", errorConstant, grow); });
  }
  if (location.file != nullptr) {
    member([&](char* p) { return jsonz_addString(p, "file", location.file, grow); });
    member([&](char* p) { return jsonz_addUInt32(p, "line", location.line, grow); });
  }
  if (location.component != nullptr) {
    member([&](char* p) { return jsonz_addString(p, "component", location.component, grow); });
  }
  return complete;
}

}  // namespace

bool defaultReallocate(tStatusReport* record, std::int32_t newSize) {
  if (newSize == 0) {
    std::free(record->report);
    record->report = nullptr;
    record->capacity = 0;
    return true;
  }
  if (newSize <= record->capacity) return true;
  if (newSize < 0 || newSize > kMaximumReportCapacity) return false;
  const auto capacity = newSize <= kMinimumReportCapacity
                            ? kMinimumReportCapacity
                            : static_cast<std::int32_t>(std::bit_ceil(static_cast<std::uint32_t>(newSize)));
  auto* buffer = static_cast<char*>(std::malloc(static_cast<std::size_t>(capacity)));
  if (buffer == nullptr) return false;
  jsonz_initBuffer(buffer, static_cast<std::size_t>(capacity), record->report != nullptr ? record->report : kEmptyReport);
  std::free(record->report);
  record->report = buffer;
  record->capacity = capacity;
  return true;
}

tStatusReport makeStatusReport() noexcept { return tStatusReport{0, 0, &defaultReallocate, nullptr}; }

bool setCode(tStatusReport& record, std::int32_t code) noexcept {
  if (!mergeRuleStores(record.code, code)) return false;
  record.code = code;
  if (record.report != nullptr) setReportText(record, kEmptyReport);
  return true;
}

bool setCode(tStatusReport& record, std::int32_t code, const kSourceLocation& location, bool* complete) noexcept {
  return setCode(record, code, location, nullptr, complete);
}

bool setCode(tStatusReport& record, std::int32_t code, const kSourceLocation& location, const char* errorConstant,
             bool* complete) noexcept {
  if (!setCode(record, code)) return false;
  const bool written = addLocationMembers(record, location, errorConstant);
  if (complete != nullptr) *complete = written;
  return true;
}

void forceCode(tStatusReport& record, std::int32_t code) noexcept {
  record.code = code;
  if (record.report != nullptr) setReportText(record, kEmptyReport);
}

bool mergeFrom(tStatusReport& record, tStatusReport& other, bool* copied) noexcept {
  if (!setCode(record, other.code)) return false;
  bool arrived = true;
  if (record.reallocate == other.reallocate) {
    releaseReport(record);
    record.capacity = other.capacity;
    record.report = other.report;
    other.capacity = 0;
    other.report = nullptr;
  } else {
    arrived = setReportText(record, other.report != nullptr ? other.report : kEmptyReport);
  }
  if (copied != nullptr) *copied = arrived;
  return true;
}

bool setReportText(tStatusReport& record, const char* text) noexcept {
  const std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(kMaximumReportText)) return false;
  if (record.report == text) return true;
  if (!record.reallocate(&record, static_cast<std::int32_t>(length + 2)) || record.report == nullptr) return false;
  return jsonz_initBuffer(record.report, static_cast<std::size_t>(record.capacity), text) != nullptr;
}

char* reserveReportSpace(tStatusReport& record, std::int32_t bytes) noexcept {
  if (bytes < 0 || bytes > kMaximumReportText) return nullptr;
  // A buffer the owner's reallocate has just made holds no text yet: the
  // members go into an empty object, never in front of nothing.
  if (!record.reallocate(&record, bytes + 2) || !layOutBuffer(record, kEmptyReport)) return nullptr;
  return closingBracket(record);
}

const char* reportText(const tStatusReport& record) noexcept {
  return record.report != nullptr ? record.report : "";
}

void releaseReport(tStatusReport& record) noexcept {
  if (record.reallocate != nullptr) record.reallocate(&record, 0);
}

jsonz_growHandler reportGrowHandler(tStatusReport& record) noexcept { return {&growForMember, &record}; }

}  // namespace nKESTREL1400
