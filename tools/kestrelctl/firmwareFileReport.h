// An update file as kestrelctl reads it: every section with its header
// values and whether it verifies, read by the same format code the library
// uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kestrelctl {

struct tSectionReport {
  std::size_t offset = 0;
  std::string target;
  std::string version;
  std::uint32_t byteCount = 0;
  std::uint32_t crc = 0;
  std::uint64_t decodedBytes = 0;
  std::uint32_t computedCrc = 0;
  bool decoded = false;   // the header was good and the payload was decoded
  std::int32_t code = 0;  // why the section is refused, 0 when it verifies
  bool verifies() const { return code == 0; }
};

struct tFileReport {
  std::vector<tSectionReport> sections;
  // Whether an update installs from the file: it has sections, and every
  // one verifies (the library takes a file without sections and installs
  // nothing, which kestrelctl does not call a success).
  bool acceptable() const;
  // The sections in the order an update installs them: BIOS images first,
  // the later one before the earlier, the rest in file order.
  std::vector<const tSectionReport*> installOrder() const;
};

tFileReport readUpdateFile(const std::vector<std::uint8_t>& bytes);

nlohmann::json toJson(const tSectionReport& section);
// The file's sections and verdict: {"file", "acceptable", "sections", "installOrder"}.
nlohmann::json toJson(const std::string& file, const tFileReport& report);
std::string hex32(std::uint32_t value);

// Why the section is refused: "kestrelerr_invalidImage (-26938): its payload
// decodes to 10 bytes, ByteCount says 12"; "" when it verifies.
std::string refusalText(const tSectionReport& section);

}  // namespace kestrelctl
