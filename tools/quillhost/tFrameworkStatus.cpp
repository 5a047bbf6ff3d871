#include "tools/quillhost/tFrameworkStatus.h"

#include <cstdlib>
#include <cstring>

namespace quillhost {

tFrameworkStatus::tFrameworkStatus() noexcept : record_{0, 0, &reallocate, nullptr} {}

tFrameworkStatus::tFrameworkStatus(std::int32_t code) noexcept : tFrameworkStatus() { record_.code = code; }

tFrameworkStatus::~tFrameworkStatus() { clear(); }

std::string tFrameworkStatus::text() const { return record_.report == nullptr ? std::string() : record_.report; }

void tFrameworkStatus::clear() noexcept {
  if (record_.report != nullptr && record_.reallocate != nullptr) record_.reallocate(&record_, 0);
  record_ = {0, 0, &reallocate, nullptr};
}

bool tFrameworkStatus::reallocate(tStatusReport* record, std::int32_t newSize) {
  if (newSize <= 0) {
    std::free(record->report);
    record->report = nullptr;
    record->capacity = 0;
    return newSize == 0;
  }
  if (newSize <= record->capacity) return true;
  auto* grown = static_cast<char*>(std::realloc(record->report, static_cast<std::size_t>(newSize)));
  if (grown == nullptr) return false;
  if (record->report == nullptr) grown[0] = '\0';
  const std::size_t used = std::strlen(grown) + 1;
  std::memset(grown + used, 0, static_cast<std::size_t>(newSize) - used);
  grown[newSize - 1] = 'J';
  record->report = grown;
  record->capacity = newSize;
  return true;
}

void* answerAllocator(void* existing, std::size_t size) { return std::realloc(existing, size); }

}  // namespace quillhost
