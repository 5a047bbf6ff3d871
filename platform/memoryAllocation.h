#pragma once

#include <cstddef>

#include "platform/tStatus.h"

namespace nKESTREL1400 {

// Allocates `size` bytes with malloc for an operation carrying `status`.
// Yields null without allocating when the status holds an error, and null
// with -52000 ("memoryAllocation") when memory is short. Release with free.
void* allocateBytes(std::size_t size, tStatus& status) noexcept;

}  // namespace nKESTREL1400
