// The notifications registered with one reader. A message's cookie comes
// from outside the process, so the reader hands out only cookies that name
// a notification listed here. A disabled notification stays listed until
// the driver's end message for it arrives or the notification is
// destroyed, so that a wait still learns about the end.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace nKESTREL1400::nBRIO000 {

class tIONotification;

class tNotificationRegistry {
 public:
  tNotificationRegistry() = default;
  tNotificationRegistry(const tNotificationRegistry&) = delete;
  tNotificationRegistry& operator=(const tNotificationRegistry&) = delete;

  // False when memory is short.
  bool add(tIONotification* notification) noexcept;
  // The notification's registration ended; its end message is still due.
  void markEnding(tIONotification* notification) noexcept;
  void remove(tIONotification* notification) noexcept;
  // The listed notification the cookie names, or null. An end message
  // takes an ending notification off the list.
  tIONotification* find(std::uint64_t cookie, bool isEnd) noexcept;
  // Everything listed, emptying the list (the reader goes away).
  std::vector<tIONotification*> takeAll() noexcept;

 private:
  struct tEntry {
    tIONotification* notification;
    bool ending;
  };
  std::mutex lock_;
  std::vector<tEntry> entries_;
};

}  // namespace nKESTREL1400::nBRIO000
