// Reading the small files that the kernel driver publishes for its device
// interfaces.
#pragma once

#include <cstddef>

#include "platform/tStatus.h"

namespace nKESTREL1400 {

enum class tSmallFileRead { kRead, kTooLong, kFailed };

// Reads the whole file (fopen "re", up to 10 attempts without pause; one
// fread of up to 4096 bytes) into `destination` when it holds at most
// `capacity` bytes; `count` receives the byte count (0 on failure). The
// content is taken exactly as read. Raises -52006 (open), -52024 (read) or
// -52019 (too long) at "linuxDevEnumHelper".
tSmallFileRead readSmallFile(const char* filePath, char* destination, std::size_t capacity, std::size_t& count,
                             tStatus& status) noexcept;

}  // namespace nKESTREL1400
