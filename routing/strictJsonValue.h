// Whether a span of request text may go into a status report as it stands.
#pragma once

#include <cstddef>

namespace tarn {

// True when the span is exactly one complete JSON value (white space around
// it allowed) that a strict reader accepts: the JSON reader validates its
// structure, and every number in it must have the strict form (no "1.",
// "-" or "-.5", which the lenient reader lets through).
bool isStrictJsonValue(const char* text, std::size_t length);

}  // namespace tarn
