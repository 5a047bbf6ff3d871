#include "sim/system/tRequestLog.h"

#include <utility>

namespace nKESTRELSIM {

void tRequestLog::add(tLoggedRequest entry) {
  if (limit_ == 0) return;
  if (entries_.size() >= limit_) {
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(entries_.size() / 2 + 1));
  }
  entries_.push_back(std::move(entry));
}

std::vector<tLoggedRequest> tRequestLog::entriesOf(std::uint32_t code) const {
  std::vector<tLoggedRequest> result;
  for (const auto& entry : entries_) {
    if (entry.code == code) result.push_back(entry);
  }
  return result;
}

void tRequestLog::limit(std::size_t count) {
  limit_ = count;
  if (entries_.size() > count) entries_.erase(entries_.begin(), entries_.end() - static_cast<std::ptrdiff_t>(count));
}

void tRequestLog::reset() {
  entries_.clear();
  limit_ = SIZE_MAX;
}

}  // namespace nKESTRELSIM
