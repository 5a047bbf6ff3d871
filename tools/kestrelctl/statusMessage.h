// Failures as kestrelctl reports them: the code's name and meaning, a hint
// that is true for this machine, and under --json the same as a JSON object.
#pragma once

#include <cstdint>
#include <string>

namespace kestrelctl {

// "kestrelerr_invalidHandle (-26931): unknown handle, or the session is not open"
std::string describeStatus(std::int32_t code);

// What to try next after a failure, or "" when there is nothing to suggest.
std::string adviceFor(std::int32_t code);

// Prints "kestrelctl: <what>: <description>" and `advice` (or the code's own
// advice) to standard error; under --json also {"error": ...} on standard
// output. Returns kFailure.
int printFailure(const std::string& what, std::int32_t code, const std::string& advice = "");

// A wrong command line: the message on standard error (and as JSON under
// --json). Returns kUsage.
int printUsageError(const std::string& message);

}  // namespace kestrelctl
