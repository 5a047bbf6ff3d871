// Operations on tStatusReport, the status record of the controller, watchdog
// and routing code: a 32-bit code and a growable JSON report text owned
// through the record's reallocate function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "json/jsonWriter.h"
#include "kestrel/quill_ra_kestrel.h"
#include "platform/kSourceLocation.h"

static_assert(sizeof(tStatusReport) == 24);
static_assert(offsetof(tStatusReport, code) == 0);
static_assert(offsetof(tStatusReport, capacity) == 4);
static_assert(offsetof(tStatusReport, reallocate) == 8);
static_assert(offsetof(tStatusReport, report) == 16);

namespace nKESTREL1400 {

inline constexpr std::int32_t kMinimumReportCapacity = 512;
inline constexpr std::int64_t kMaximumReportText = 2147483645;
// Largest buffer defaultReallocate hands out: the next power of two above
// it would not fit the record's 32-bit capacity.
inline constexpr std::int32_t kMaximumReportCapacity = 1 << 30;

// Grows the buffer to 512 bytes or the next power of two, keeping the text
// ("{}" for a new buffer); size 0 releases it.
bool defaultReallocate(tStatusReport* record, std::int32_t newSize);

// A record with code 0, no buffer and defaultReallocate.
tStatusReport makeStatusReport() noexcept;

// Merge rule; a stored code resets an existing report text to "{}".
bool setCode(tStatusReport& record, std::int32_t code) noexcept;
// As above; when stored, the report becomes "{}" plus "file", "line" and
// "component" (and "error_constant" first when given), growing as needed.
// `complete` tells whether every member was written.
bool setCode(tStatusReport& record, std::int32_t code, const kSourceLocation& location,
             bool* complete = nullptr) noexcept;
bool setCode(tStatusReport& record, std::int32_t code, const kSourceLocation& location,
             const char* errorConstant, bool* complete = nullptr) noexcept;
// Sets the code to `code` outright, bypassing the merge rule, and resets an
// existing report text to "{}".
void forceCode(tStatusReport& record, std::int32_t code) noexcept;

// Takes over the other record's code (merge rule) and, when stored, its
// report: the buffer itself when both use the same reallocate function,
// otherwise a copy of the text. `copied` tells whether the report arrived.
bool mergeFrom(tStatusReport& record, tStatusReport& other, bool* copied = nullptr) noexcept;

// Replaces the whole report text; needs capacity for the text plus 2 bytes.
bool setReportText(tStatusReport& record, const char* text) noexcept;
// Grows the buffer to `bytes` + 2 and returns the insertion position before
// the closing bracket of the top-level object, or null.
char* reserveReportSpace(tStatusReport& record, std::int32_t bytes) noexcept;
// The report text, or "" when there is none.
const char* reportText(const tStatusReport& record) noexcept;
// Releases the buffer through the record's reallocate function.
void releaseReport(tStatusReport& record) noexcept;
// A growth handler that doubles the record's buffer (less 2 bytes).
jsonz_growHandler reportGrowHandler(tStatusReport& record) noexcept;

// A report owned by one scope: created empty, released when the scope ends,
// also while an exception passes.
class tScopedStatusReport {
 public:
  tScopedStatusReport() noexcept : record_(makeStatusReport()) {}
  ~tScopedStatusReport() { releaseReport(record_); }
  tScopedStatusReport(const tScopedStatusReport&) = delete;
  tScopedStatusReport& operator=(const tScopedStatusReport&) = delete;

  tStatusReport& get() noexcept { return record_; }
  operator tStatusReport&() noexcept { return record_; }
  std::int32_t code() const noexcept { return record_.code; }
  bool isError() const noexcept { return record_.code < 0; }

 private:
  tStatusReport record_;
};

}  // namespace nKESTREL1400
