#pragma once

#include <cstdint>
#include <string>

namespace kestrelctl {

// "kestrelerr_invalidHandle (-26931): unknown handle, or the session is not open"
std::string describeStatus(std::int32_t code);

// What to try next after a failure, or "" when there is nothing to suggest.
std::string adviceFor(std::int32_t code);

// Prints "kestrelctl: <what>: <description>" and the advice to standard error.
void printFailure(const std::string& what, std::int32_t code);

}  // namespace kestrelctl
