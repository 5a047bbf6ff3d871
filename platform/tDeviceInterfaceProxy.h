// An interface proxy over the file descriptor of a device node.
#pragma once

#include "platform/iInterfaceProxy.h"
#include "platform/tDeviceInterfacePath.h"

namespace nKESTREL1400::nBRIO000 {

class tDeviceInterfaceProxy : public virtual iInterfaceProxy {
 public:
  tDeviceInterfaceProxy() noexcept = default;
  ~tDeviceInterfaceProxy() override;
  tDeviceInterfaceProxy(const tDeviceInterfaceProxy&) = delete;
  tDeviceInterfaceProxy& operator=(const tDeviceInterfaceProxy&) = delete;

  void close() noexcept override;
  std::uint32_t ioctl(std::uint32_t request, void* input, std::uint32_t inputSize, void* output,
                      std::uint32_t outputSize, tStatus& status) noexcept override;
  std::int64_t read(void* buffer, std::uint64_t size, tStatus& status) noexcept override;
  std::int64_t write(const void* data, std::uint64_t size, tStatus& status) noexcept override;
  void* map(std::uint32_t region, std::uint64_t length, std::uint32_t access, tMapping& mapping,
            tStatus& status) noexcept override;
  void unmap(tMapping& mapping) noexcept override;

  virtual bool isOpen() const noexcept;
  // Opens the device read-write and close-on-exec; the descriptor stays -1
  // on failure.
  virtual void open(const tDeviceInterfacePath& path, tStatus& status) noexcept;
  virtual void open(const char* path, tStatus& status) noexcept;

  // The device's descriptor, -1 when closed (notification registration
  // talks to the driver on it directly).
  int descriptor() const noexcept { return descriptor_; }

 private:
  int descriptor_ = -1;
};

}  // namespace nKESTREL1400::nBRIO000
