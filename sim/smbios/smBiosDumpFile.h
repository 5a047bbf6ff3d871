// The SMBIOS dump file a system service leaves for the library:
// identification text and NUL, table length (16-bit little-endian), table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace nKESTRELSIM::nSMBIOS {

// Throws std::length_error for a table over 65535 bytes and
// std::invalid_argument for an identification text holding a NUL.
std::vector<std::uint8_t> smBiosDumpFileBytes(std::string_view identification, const std::vector<std::uint8_t>& table);
// Writes the dump file, creating its parent directories; throws
// std::filesystem::filesystem_error when it cannot.
void writeSmBiosDumpFile(const std::filesystem::path& path, std::string_view identification,
                         const std::vector<std::uint8_t>& table);

}  // namespace nKESTRELSIM::nSMBIOS
