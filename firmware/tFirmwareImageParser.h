// Turns a firmware update file in memory into its list of verified images:
// BIOS images at the front (each new one first), the others behind them in
// file order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "firmware/firmwareSections.h"
#include "kestrel/quill_ra_kestrel.h"

namespace nKESTREL1400 {

namespace nFirmware {
class tFirmwareFileScan;
}

struct tFirmwareImage {
  std::uint8_t* data = nullptr;     // decoded payload, owned by the parser
  std::uint32_t size = 0;           // equals the section's ByteCount
  const char* targetDevice = "";    // "BIOS", "MARTEN" or "SAFEMODE"
  char* version = nullptr;          // the section's Version value, NUL-terminated
  tFirmwareImage* next = nullptr;
};

class tFirmwareImageParser {
 public:
  // Parses at once. Failures go into `report` (-26938, -26941, -26933);
  // images of sections before a failing one stay in the list. Nothing is
  // parsed when the report already holds an error.
  tFirmwareImageParser(const std::uint8_t* data, std::uint64_t length, tStatusReport& report) noexcept;
  ~tFirmwareImageParser();
  tFirmwareImageParser(const tFirmwareImageParser&) = delete;
  tFirmwareImageParser& operator=(const tFirmwareImageParser&) = delete;

  const tFirmwareImage* first() const noexcept { return first_; }
  bool empty() const noexcept { return first_ == nullptr; }

 private:
  // An ordinary file is decoded in one pass over its text and judged
  // afterwards; any other file is read section by section.
  nFirmware::tFormatFailure addScanned(nFirmware::tFirmwareFileScan& scan) noexcept;
  nFirmware::tFormatFailure addSectionBySection(const std::uint8_t* data, std::uint64_t length) noexcept;
  void add(tFirmwareImage* image) noexcept;

  tFirmwareImage* first_ = nullptr;
  tFirmwareImage* last_ = nullptr;
};

}  // namespace nKESTREL1400
