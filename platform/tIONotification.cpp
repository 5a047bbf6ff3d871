#include "platform/tIONotification.h"

#include <sys/ioctl.h>

#include <atomic>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr const char* kFile = "tIONotification";
constexpr std::uint32_t kRefusedLine = 245;

// Makes both fields visible before the cookie can reach a reader thread
// (the registry's lock orders them for the reader as well).
void storeFence() noexcept {
#if defined(__x86_64__)
  __builtin_ia32_sfence();
#else
  std::atomic_thread_fence(std::memory_order_release);
#endif
}

}  // namespace

tIONotification::~tIONotification() {
  disable();
  if (reader_ != nullptr) reader_->registry().remove(this);
}

void tIONotification::enable(tIONotificationReader& reader, tDeviceInterfaceProxy& proxy,
                             std::uint32_t notificationId, tStatus& status) noexcept {
  if (status.isError()) return;
  proxy_ = &proxy;
  notificationId_ = notificationId;
  storeFence();
  if (reader_ != nullptr && reader_ != &reader) reader_->registry().remove(this);
  if (!reader.registry().add(this)) {
    status.setCode(brioerr_memoryFull, kComponent, kFile, kRefusedLine);
    return;
  }
  reader_ = &reader;
  nDriverWire::tNotificationRegistration record{reinterpret_cast<std::uint64_t>(this), reader.portId(),
                                                notificationId};
  if (::ioctl(proxy.descriptor(), nDriverWire::kRegisterNotification, &record) == -1) {
    status.setCode(brioerr_systemError, kComponent, kFile, kRefusedLine);
    if (!registered_) reader.registry().remove(this);
    return;
  }
  registered_ = true;
}

void tIONotification::disable() noexcept {
  if (registered_ && proxy_ != nullptr && proxy_->isOpen()) {
    ::ioctl(proxy_->descriptor(), nDriverWire::kUnregisterNotification, static_cast<unsigned long>(notificationId_));
  }
  if (registered_ && reader_ != nullptr) reader_->registry().markEnding(this);
  registered_ = false;
}

}  // namespace nKESTREL1400::nBRIO000
