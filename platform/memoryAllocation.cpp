#include "platform/memoryAllocation.h"

#include <cstdlib>

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {
constexpr kSourceLocation kAllocationFailed{"memoryAllocation", 31};
}

void* allocateBytes(std::size_t size, tStatus& status) noexcept {
  if (status.isError()) return nullptr;
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) status.setCode(brioerr_memoryFull, kAllocationFailed);
  return memory;
}

}  // namespace nKESTREL1400
