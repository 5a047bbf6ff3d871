// How SMBIOS reader results become controller status codes, and reading an
// SMBIOS text of unknown length.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "kestrel/quill_ra_kestrel.h"

namespace nKESTREL1400 {

// 240050 and -240052 become -26934, -240051 becomes -26930; every other
// result, success and errors alike, sets nothing.
void mapSmbiosResult(std::int32_t result, tStatusReport& report) noexcept;

// A text read from SMBIOS into a buffer that grows to the size the reader
// asks for. Owns its buffer.
class tSmbiosText {
 public:
  tSmbiosText() noexcept = default;
  ~tSmbiosText() { std::free(buffer_); }
  tSmbiosText(const tSmbiosText&) = delete;
  tSmbiosText& operator=(const tSmbiosText&) = delete;

  // The reader's result, or -26933 (kestrelerr_memoryFull) when no buffer of
  // the size asked for can be had.
  std::int32_t read(std::uint32_t selector, std::uint32_t instance) noexcept;
  const char* text() const noexcept { return buffer_ != nullptr ? buffer_ : ""; }

 private:
  char* buffer_ = nullptr;
  std::uint32_t capacity_ = 0;
};

}  // namespace nKESTREL1400
