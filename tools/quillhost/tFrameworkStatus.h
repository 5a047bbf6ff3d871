// A status report as the routing framework keeps one: a record whose
// report text the framework owns through its own reallocate function.
#pragma once

#include <kestrel/quill_ra_kestrel.h>

#include <cstdint>
#include <string>

namespace quillhost {

class tFrameworkStatus {
 public:
  tFrameworkStatus() noexcept;
  explicit tFrameworkStatus(std::int32_t code) noexcept;
  ~tFrameworkStatus();
  tFrameworkStatus(const tFrameworkStatus&) = delete;
  tFrameworkStatus& operator=(const tFrameworkStatus&) = delete;

  tStatusReport* get() noexcept { return &record_; }
  operator tStatusReport*() noexcept { return &record_; }
  std::int32_t code() const noexcept { return record_.code; }
  bool isError() const noexcept { return record_.code < 0; }
  // The report text, or "" when there is none.
  std::string text() const;
  // Back to code 0 without a report.
  void clear() noexcept;

  // The framework's reallocate function: malloc'ed buffers of the size
  // asked for, keeping the text; size 0 releases.
  static bool reallocate(tStatusReport* record, std::int32_t newSize);

 private:
  tStatusReport record_;
};

// The answer allocator the framework hands to sessions: realloc.
void* answerAllocator(void* existing, std::size_t size);

}  // namespace quillhost
