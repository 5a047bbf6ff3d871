// Memory module sizes decoded as the SMBIOS reference tools decode them: the
// rules on their own, and every module of the real tables in the shared data
// against what dmidecode printed for it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/kestrelctl/memorySize.h"

namespace {

using kestrelctl::decodeMemorySize;
namespace fs = std::filesystem;

TEST(memorySize, SpecialWords) {
  EXPECT_FALSE(decodeMemorySize(0).installed);
  EXPECT_EQ(decodeMemorySize(0).text, "No Module Installed");
  EXPECT_EQ(decodeMemorySize(0xFFFF).text, "Unknown");
  EXPECT_FALSE(decodeMemorySize(0xFFFF).kib.has_value());
  EXPECT_EQ(decodeMemorySize(0x8200).text, "512 kB");
  EXPECT_EQ(decodeMemorySize(0x8200).kib, 512u);
  EXPECT_EQ(decodeMemorySize(8192).text, "8 GB");
  EXPECT_EQ(decodeMemorySize(1536).text, "1536 MB");
  EXPECT_EQ(decodeMemorySize(0x7FFF).text, "32 GB or more (extended size)");
  EXPECT_EQ(decodeMemorySize(0x7FFF, 65536).text, "64 GB");
  EXPECT_EQ(decodeMemorySize(0x7FFF, 0x80000000u | 40960).text, "40 GB");  // bit 31 is reserved
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t little(const std::vector<std::uint8_t>& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

// The decoded size of every memory device of a raw structure table, in table
// order, up to the first structure too short for its own header.
std::vector<std::string> decodedSizes(const std::vector<std::uint8_t>& table) {
  std::vector<std::string> sizes;
  std::size_t at = 0;
  while (at + 4 <= table.size() && table[at + 1] >= 4 && at + table[at + 1] <= table.size()) {
    const std::size_t length = table[at + 1];
    if (table[at] == 17 && length >= 0x0E) {
      std::optional<std::uint32_t> extended;
      if (length >= 0x20) extended = little(table, at + 0x1C, 4);
      sizes.push_back(decodeMemorySize(static_cast<std::uint16_t>(little(table, at + 0x0C, 2)), extended).text);
    }
    if (table[at] == 127) break;
    std::size_t next = at + length;
    while (next + 1 < table.size() && (table[next] != 0 || table[next + 1] != 0)) ++next;
    at = next + 2;
  }
  return sizes;
}

std::vector<std::string> dmidecodeSizes(const fs::path& path) {
  std::ifstream file(path);
  std::vector<std::string> sizes;
  bool memoryDevice = false;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '\t') memoryDevice = line == "Memory Device";
    if (memoryDevice && line.rfind("\tSize: ", 0) == 0) sizes.push_back(line.substr(7));
  }
  return sizes;
}

TEST(memorySize, AgreesWithDmidecodeOnRealTables) {
  const fs::path folder = fs::path(KESTREL_SHARED_DATA_DIR) / "smbios";
  if (!fs::exists(folder)) GTEST_SKIP() << "no real SMBIOS tables in " << folder << " (outside data)";
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".table") continue;
    fs::path decoded = entry.path();
    decoded.replace_extension(".dmidecode.txt");
    if (!fs::exists(decoded)) continue;
    ++tables;
    const auto expected = dmidecodeSizes(decoded);
    const auto sizes = decodedSizes(readBytes(entry.path()));
    EXPECT_EQ(sizes, expected) << entry.path();
  }
  EXPECT_GT(tables, 0);
}

}  // namespace
