#include "platform/tDeviceInterfaceProxy.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/driverWireFormat.h"
#include "platform/errnoToStatus.h"

namespace nKESTREL1400::nBRIO000 {
namespace {

constexpr const char* kFile = "tDeviceInterfaceProxy";
constexpr std::uint32_t kOpenLine = 46;
constexpr std::uint32_t kIoctlLine = 85;
constexpr std::uint32_t kReadLine = 105;
constexpr std::uint32_t kWriteLine = 123;
constexpr std::uint32_t kMapLine = 148;
constexpr std::uint32_t kReadWriteAccess = 1;
constexpr std::uint32_t kRegionMask = 0xFFFF;

void raiseErrno(tStatus& status, std::uint32_t line) noexcept {
  status.setCode(errnoToStatus(errno), kComponent, kFile, line);
}

}  // namespace

tDeviceInterfaceProxy::~tDeviceInterfaceProxy() {
  if (descriptor_ != -1) ::close(descriptor_);
}

void tDeviceInterfaceProxy::close() noexcept {
  if (!isOpen()) return;
  ::close(descriptor_);
  descriptor_ = -1;
}

bool tDeviceInterfaceProxy::isOpen() const noexcept { return descriptor_ != -1; }

void tDeviceInterfaceProxy::open(const tDeviceInterfacePath& path, tStatus& status) noexcept {
  open(path.path, status);
}

void tDeviceInterfaceProxy::open(const char* path, tStatus& status) noexcept {
  if (status.isError()) return;
  descriptor_ = ::open(path, O_RDWR | O_CLOEXEC);
  if (descriptor_ == -1) raiseErrno(status, kOpenLine);
}

std::uint32_t tDeviceInterfaceProxy::ioctl(std::uint32_t request, void* input, std::uint32_t inputSize, void* output,
                                           std::uint32_t outputSize, tStatus& status) noexcept {
  if (status.isError()) return 0;
  nDriverWire::tTransferDescriptor transfer{reinterpret_cast<std::uint64_t>(input),
                                            reinterpret_cast<std::uint64_t>(output), inputSize, outputSize, 0, 0};
  if (::ioctl(descriptor_, static_cast<unsigned long>(request), &transfer) == -1) raiseErrno(status, kIoctlLine);
  return transfer.result;
}

std::int64_t tDeviceInterfaceProxy::read(void* buffer, std::uint64_t size, tStatus& status) noexcept {
  if (status.isError()) return 0;
  const ssize_t count = ::read(descriptor_, buffer, size);
  if (count == -1) raiseErrno(status, kReadLine);
  return count;
}

std::int64_t tDeviceInterfaceProxy::write(const void* data, std::uint64_t size, tStatus& status) noexcept {
  if (status.isError()) return 0;
  const ssize_t count = ::write(descriptor_, data, size);
  if (count == -1) raiseErrno(status, kWriteLine);
  return count;
}

void* tDeviceInterfaceProxy::map(std::uint32_t region, std::uint64_t length, std::uint32_t access, tMapping& mapping,
                                 tStatus& status) noexcept {
  if (status.isError()) return nullptr;
  const int protection = access == kReadWriteAccess ? PROT_READ | PROT_WRITE : PROT_READ;
  const off_t offset = static_cast<off_t>(region & kRegionMask) * sysconf(_SC_PAGESIZE);
  void* address = mmap(nullptr, length, protection, MAP_SHARED, descriptor_, offset);
  if (address == MAP_FAILED) {
    raiseErrno(status, kMapLine);
    mapping.address = nullptr;
    return nullptr;
  }
  mapping.address = address;
  mapping.length = length;
  return address;
}

void tDeviceInterfaceProxy::unmap(tMapping& mapping) noexcept {
  if (mapping.address == nullptr) return;
  munmap(mapping.address, mapping.length);
  mapping.address = nullptr;
}

}  // namespace nKESTREL1400::nBRIO000
