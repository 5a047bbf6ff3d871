// Assertion reports: three lines on standard error, then the assertion
// handler. The handler never traps; the failing operation goes on to fail
// in an orderly way.
#pragma once

#include <cstdint>

#include "platform/zesdbg.h"

namespace nKESTREL1400::nBRIO000 {

using tAssertionHandler = void (*)(zesdbg_VarLine& line, const char* condition);

// Installs a handler and returns the previous one; null restores the default,
// which returns after the report.
tAssertionHandler setAssertionHandler(tAssertionHandler handler) noexcept;

// Reports a failed condition such as "ASSERT(n <= kMaxSize)".
void reportAssertion(const char* file, std::int32_t line, const char* condition);

// Checks `condition`; reports and returns false when it does not hold.
inline bool checkAssertion(bool condition, const char* file, std::int32_t line, const char* text) {
  if (!condition) reportAssertion(file, line, text);
  return condition;
}

}  // namespace nKESTREL1400::nBRIO000
