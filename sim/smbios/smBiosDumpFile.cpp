#include "sim/smbios/smBiosDumpFile.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace nKESTRELSIM::nSMBIOS {

std::vector<std::uint8_t> smBiosDumpFileBytes(std::string_view identification,
                                              const std::vector<std::uint8_t>& table) {
  if (table.size() > 0xFFFF) throw std::length_error("an SMBIOS dump file holds at most 65535 table bytes");
  if (identification.find('\0') != std::string_view::npos) {
    throw std::invalid_argument("the identification text must not hold a NUL");
  }
  std::vector<std::uint8_t> bytes(identification.begin(), identification.end());
  bytes.push_back(0);
  bytes.push_back(static_cast<std::uint8_t>(table.size()));
  bytes.push_back(static_cast<std::uint8_t>(table.size() >> 8));
  bytes.insert(bytes.end(), table.begin(), table.end());
  return bytes;
}

void writeSmBiosDumpFile(const std::filesystem::path& path, std::string_view identification,
                         const std::vector<std::uint8_t>& table) {
  const std::vector<std::uint8_t> bytes = smBiosDumpFileBytes(identification, table);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    throw std::filesystem::filesystem_error("cannot write the SMBIOS dump file", path,
                                            std::make_error_code(std::errc::io_error));
  }
}

}  // namespace nKESTRELSIM::nSMBIOS
