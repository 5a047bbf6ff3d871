// Raw operations on an open device interface of the kernel driver.
#pragma once

#include <cstdint>

#include "platform/tMapping.h"
#include "platform/tStatus.h"

namespace nKESTREL1400::nBRIO000 {

class iInterfaceProxy {
 public:
  virtual ~iInterfaceProxy() = default;
  virtual void close() noexcept = 0;
  // One driver request: the input and output records travel in a
  // tTransferDescriptor. Returns the descriptor's result field.
  virtual std::uint32_t ioctl(std::uint32_t request, void* input, std::uint32_t inputSize, void* output,
                              std::uint32_t outputSize, tStatus& status) noexcept = 0;
  virtual std::int64_t read(void* buffer, std::uint64_t size, tStatus& status) noexcept = 0;
  virtual std::int64_t write(const void* data, std::uint64_t size, tStatus& status) noexcept = 0;
  // access 1 maps read and write, anything else read only; only the low 16
  // bits of the region number count.
  virtual void* map(std::uint32_t region, std::uint64_t length, std::uint32_t access, tMapping& mapping,
                    tStatus& status) noexcept = 0;
  virtual void unmap(tMapping& mapping) noexcept = 0;

 protected:
  iInterfaceProxy() = default;
  iInterfaceProxy(const iInterfaceProxy&) = default;
  iInterfaceProxy& operator=(const iInterfaceProxy&) = default;
};

}  // namespace nKESTREL1400::nBRIO000
