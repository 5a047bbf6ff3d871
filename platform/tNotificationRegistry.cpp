#include "platform/tNotificationRegistry.h"

#include <algorithm>

namespace nKESTREL1400::nBRIO000 {

bool tNotificationRegistry::add(tIONotification* notification) noexcept {
  std::lock_guard guard(lock_);
  for (tEntry& entry : entries_) {
    if (entry.notification != notification) continue;
    entry.ending = false;
    return true;
  }
  try {
    entries_.push_back({notification, false});
  } catch (...) {
    return false;
  }
  return true;
}

void tNotificationRegistry::markEnding(tIONotification* notification) noexcept {
  std::lock_guard guard(lock_);
  for (tEntry& entry : entries_) {
    if (entry.notification == notification) entry.ending = true;
  }
}

void tNotificationRegistry::remove(tIONotification* notification) noexcept {
  std::lock_guard guard(lock_);
  std::erase_if(entries_, [notification](const tEntry& entry) { return entry.notification == notification; });
}

tIONotification* tNotificationRegistry::find(std::uint64_t cookie, bool isEnd) noexcept {
  std::lock_guard guard(lock_);
  const auto found = std::find_if(entries_.begin(), entries_.end(), [cookie](const tEntry& entry) {
    return reinterpret_cast<std::uint64_t>(entry.notification) == cookie;
  });
  if (found == entries_.end()) return nullptr;
  tIONotification* notification = found->notification;
  if (isEnd && found->ending) entries_.erase(found);
  return notification;
}

std::vector<tIONotification*> tNotificationRegistry::takeAll() noexcept {
  std::lock_guard guard(lock_);
  std::vector<tIONotification*> all;
  try {
    for (const tEntry& entry : entries_) all.push_back(entry.notification);
  } catch (...) {
  }
  entries_.clear();
  return all;
}

}  // namespace nKESTREL1400::nBRIO000
