// Text from outside (a driver's answer) made fit for a JSON report: the
// report writer copies bytes from 0x80 up as they are, so every byte that
// is not part of a well-formed UTF-8 sequence is replaced by '?'.
#pragma once

#include <string>

namespace tarn {

std::string wellFormedText(const char* text);

}  // namespace tarn
