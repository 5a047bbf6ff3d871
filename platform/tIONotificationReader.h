// Receives the kernel driver's notifications on a generic netlink socket;
// a wake-up pipe ends a wait from another thread.
#pragma once

#include <cstdint>

#include "platform/driverWireFormat.h"
#include "platform/tNotificationRegistry.h"
#include "platform/tStatus.h"

namespace nKESTREL1400::nBRIO000 {

class tIONotification;

class tIONotificationReader {
 public:
  enum tKind : std::int32_t { kNotify = 0, kEnd = 1, kCancelled = 2 };
  static constexpr std::uint32_t kDataSize = nDriverWire::kMaxEventData;

  // The library always passes a queue depth of 0. A failed construction
  // leaves -1 descriptors and the error in the status.
  tIONotificationReader(std::uint64_t queueDepth, tStatus& status) noexcept;
  virtual ~tIONotificationReader();
  tIONotificationReader(const tIONotificationReader&) = delete;
  tIONotificationReader& operator=(const tIONotificationReader&) = delete;

  // Waits for one message or a wake-up; `data` holds 32 bytes, timeoutMs -1
  // waits without limit. Returns the notification a kNotify or kEnd message
  // names, null otherwise. Messages naming no notification registered with
  // this reader are discarded. A queue that overflowed gives -52019 once
  // (notifications were lost); the next wait receives again.
  virtual tIONotification* wait(tKind& kind, void* data, std::uint32_t& size, tStatus& status,
                                int timeoutMs) noexcept;
  // Wakes one wait, now or the next one.
  virtual void cancel(tStatus& status) noexcept;

  std::uint32_t portId() const noexcept { return portId_; }
  int socketDescriptor() const noexcept { return socket_; }

  // The notifications registered with this reader (tIONotification keeps
  // it up to date): only their cookies are handed out.
  tNotificationRegistry& registry() noexcept { return registry_; }

 protected:
  // Waits up to `timeoutMs` for a wake-up only; true (the wake-up byte
  // consumed) when one came.
  bool waitForWakeUp(int timeoutMs) noexcept;

 private:
  void createPipe(tStatus& status) noexcept;
  void createSocket(std::uint64_t queueDepth, tStatus& status) noexcept;
  void readPortId(tStatus& status) noexcept;
  tIONotification* receive(tKind& kind, void* data, std::uint32_t& size, tStatus& status,
                           bool& discarded) noexcept;
  void consumeWakeUp(tKind& kind, std::uint32_t& size) noexcept;

  int socket_ = -1;
  std::uint32_t portId_ = 0;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  tNotificationRegistry registry_;
};

}  // namespace nKESTREL1400::nBRIO000
