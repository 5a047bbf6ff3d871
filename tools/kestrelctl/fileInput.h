// Files kestrelctl reads: regular files only, refused before they are read
// when they are larger than the command can use, read in pieces so that a
// file that grows while it is read cannot make the program grow with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrelctl {

// The driver refuses images over 256 MiB; an update file carries its images
// in Base64 (a third larger, with line ends), so one over 512 MiB cannot
// carry anything the driver takes.
inline constexpr std::uint64_t kMaxImageBytes = 256ull << 20;
inline constexpr std::uint64_t kMaxUpdateFileBytes = 512ull << 20;

struct tFileRead {
  std::optional<std::vector<std::uint8_t>> bytes;  // none when the file cannot be read
  std::string reason;                              // why not: "it is a directory", ...
  std::uint64_t fileBytes = 0;                     // the file's size
};

// Reads the regular file at `path`, at most `maxBytes`. With `untilNul` the
// reading ends at the first NUL byte, which is left out: an update file's
// text ends there.
tFileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool untilNul);

// "512 MiB", "1.5 GiB", "700 bytes".
std::string sizeText(std::uint64_t bytes);

}  // namespace kestrelctl
