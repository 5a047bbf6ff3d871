// Fixed-size status record of the lower layers. Never allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"
#include "platform/kSourceLocation.h"

namespace nKESTREL1400 {

class tStatus {
 public:
  static constexpr std::uint64_t kSize = 216;
  static constexpr std::size_t kComponentSize = 10;
  static constexpr std::size_t kFileSize = 101;
  static constexpr std::size_t kExtensionWords = 10;

  tStatus() noexcept;

  bool isError() const noexcept { return code < 0; }
  bool isWarning() const noexcept { return code > 0; }
  bool isNotError() const noexcept { return code >= 0; }
  std::int32_t getCode() const noexcept { return static_cast<std::int32_t>(code); }

  // Applies the merge rule; when stored (and the record is large enough)
  // also records the location and empties the extension list.
  bool setCode(std::int64_t newCode, const char* componentName, const char* fileName, std::uint64_t lineNumber) noexcept;
  bool setCode(std::int64_t newCode, const kSourceLocation& location) noexcept {
    return setCode(newCode, location.component, location.file, location.line);
  }
  bool mergeFrom(const tStatus& other) noexcept;
  // Hands the code and its location on to a status report.
  void copyToReport(tStatusReport& report) const noexcept;
  // Throws a zeerr::Exception carrying this record when it holds an error
  // and no exception is propagating already.
  void throwIfError() const;

  bool hasLocation() const noexcept { return size >= kSize; }

  std::uint64_t size;
  std::int64_t code;
  char component[kComponentSize];
  char file[kFileSize];
  std::uint64_t line;
  std::uintptr_t extension[kExtensionWords];
};

static_assert(sizeof(tStatus) == 216);
static_assert(offsetof(tStatus, size) == 0);
static_assert(offsetof(tStatus, code) == 8);
static_assert(offsetof(tStatus, component) == 16);
static_assert(offsetof(tStatus, file) == 26);
static_assert(offsetof(tStatus, line) == 128);
static_assert(offsetof(tStatus, extension) == 136);

}  // namespace nKESTREL1400
