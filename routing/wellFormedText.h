// Text from outside (a driver's answer, a framework's request document) made
// fit for a JSON report: the report writer copies bytes from 0x80 up as they
// are, so every byte that is not part of a well-formed UTF-8 sequence is
// replaced by '?'.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

std::string wellFormedText(const char* text);
std::string wellFormedText(const char* text, std::size_t length);

// Whether every byte of the span belongs to a well-formed UTF-8 sequence.
bool isWellFormedUtf8(const char* text, std::size_t length) noexcept;

}  // namespace tarn
