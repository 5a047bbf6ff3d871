#include "platform/tIONotification.h"

#include <sys/ioctl.h>

#include <atomic>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr const char* kFile = "tIONotification";
constexpr std::uint32_t kRefusedLine = 245;

}  // namespace

tIONotification::~tIONotification() { disable(); }

void tIONotification::enable(tIONotificationReader& reader, tDeviceInterfaceProxy& proxy,
                             std::uint32_t notificationId, tStatus& status) noexcept {
  if (status.isError()) return;
  proxy_ = &proxy;
  notificationId_ = notificationId;
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!reader.addRegistration(this)) {
    status.setCode(brioerr_memoryFull, kComponent, kFile, kRefusedLine);
    return;
  }
  reader_ = &reader;
  nDriverWire::tNotificationRegistration record{reinterpret_cast<std::uint64_t>(this), reader.portId(),
                                                notificationId};
  if (::ioctl(proxy.descriptor(), nDriverWire::kRegisterNotification, &record) == -1) {
    status.setCode(brioerr_systemError, kComponent, kFile, kRefusedLine);
    if (!registered_) {
      reader.removeRegistration(this);
      reader_ = nullptr;
    }
    return;
  }
  registered_ = true;
}

void tIONotification::disable() noexcept {
  if (registered_ && proxy_ != nullptr && proxy_->isOpen()) {
    ::ioctl(proxy_->descriptor(), nDriverWire::kUnregisterNotification, static_cast<unsigned long>(notificationId_));
  }
  registered_ = false;
  if (reader_ != nullptr) reader_->removeRegistration(this);
  reader_ = nullptr;
}

}  // namespace nKESTREL1400::nBRIO000
