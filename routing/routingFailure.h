// Raising a routing failure: a status code with its place, the error
// constant and an optional diagnostic member "tarn_debug".
#pragma once

#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"
#include "platform/kSourceLocation.h"

namespace tarn {

// Sets the code in `record` by the merge rule and, when it was taken, the
// members. Never throws.
void reportFailure(tStatusReport& record, std::int32_t code, const nKESTREL1400::kSourceLocation& location,
                   const char* errorConstant, const char* debugText = nullptr) noexcept;

[[noreturn]] void raiseFailure(std::int32_t code, const nKESTREL1400::kSourceLocation& location,
                               const char* errorConstant, const char* debugText = nullptr);

}  // namespace tarn
