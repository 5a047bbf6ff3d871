// SMBIOS tables captured from real machines, read through the provider and
// compared field by field with what dmidecode reports for them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "dmidecodeDump.h"
#include "smBiosTestProviders.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

namespace fs = std::filesystem;

const fs::path kTables = fs::path(KESTREL_SHARED_DATA_DIR) / "smbios";

std::vector<std::uint8_t> fileBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> tableFiles() {
  std::vector<fs::path> tables;
  if (fs::is_directory(kTables)) {
    for (const auto& entry : fs::directory_iterator(kTables)) {
      if (entry.path().extension() == ".table") tables.push_back(entry.path());
    }
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

std::vector<tDecodedStructure> shippedReport(const fs::path& table) {
  fs::path shipped = table;
  shipped.replace_extension(".dmidecode-u.txt");
  std::ifstream stream(shipped);
  return parseDmidecodeOutput(stream);
}

// dmidecode's report on the table: run now, or the one shipped beside it.
std::vector<tDecodedStructure> decode(const fs::path& table, const std::vector<std::uint8_t>& bytes) {
  const std::string scratch = ::testing::TempDir() + "smbios-dump." + std::to_string(::getpid());
  if (std::optional<std::string> output = runDmidecode(bytes, scratch)) {
    std::istringstream stream(*output);
    std::vector<tDecodedStructure> decoded = parseDmidecodeOutput(stream);
    const std::vector<tDecodedStructure> shipped = shippedReport(table);
    if (!shipped.empty()) {
      EXPECT_EQ(decoded.size(), shipped.size()) << "the installed dmidecode reads it otherwise";
    }
    return decoded;
  }
  return shippedReport(table);
}

constexpr std::uint32_t selector(cZeSmBiosFieldKind kind, std::uint8_t type, std::size_t offset) {
  return cZeSmBiosSelector::make(kind, type, static_cast<std::uint8_t>(offset)).value;
}

class tRealTable {
 public:
  explicit tRealTable(const std::vector<std::uint8_t>& bytes) { provider.source = bytes; }

  void compareNumbers(const tDecodedStructure& structure, std::uint32_t instance) {
    const std::vector<std::uint8_t>& data = structure.formatted;
    const std::uint8_t type = data[0];
    for (std::size_t offset = 0; offset < data.size(); ++offset) {
      tStatus status;
      EXPECT_EQ(provider.readByte(selector(cZeSmBiosFieldKind::kByte, type, offset), instance, status), data[offset])
          << "type " << int(type) << " instance " << instance << " offset " << offset;
      EXPECT_EQ(status.getCode(), 0);
      if (offset + 1 < data.size()) {
        const auto expected = static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
        EXPECT_EQ(provider.readWord(selector(cZeSmBiosFieldKind::kWord, type, offset), instance, status), expected);
        EXPECT_EQ(status.getCode(), 0);
      }
    }
  }

  // Each string that some byte of the formatted area refers to; returns how
  // many were compared.
  int compareStrings(const tDecodedStructure& structure, std::uint32_t instance) {
    const std::vector<std::uint8_t>& data = structure.formatted;
    if (data[1] != data.size()) return 0;  // dmidecode corrected the length: its strings start elsewhere
    int compared = 0;
    for (std::size_t number = 1; number <= structure.strings.size(); ++number) {
      std::size_t offset = 4;
      while (offset < data.size() && data[offset] != number) ++offset;
      if (offset == data.size()) continue;
      char buffer[256] = {};
      std::uint32_t size = sizeof buffer;
      tStatus status;
      provider.readString(selector(cZeSmBiosFieldKind::kString, data[0], offset), instance, buffer, size, status);
      const std::string& expected = structure.strings[number - 1];
      if (expected.size() > cZeSmBiosTable::kMaxStringLength) {
        EXPECT_EQ(status.getCode(), smbioserr_corrupt);
      } else {
        EXPECT_EQ(status.getCode(), 0);
        EXPECT_EQ(std::string(buffer), expected) << "type " << int(data[0]) << " string " << number;
      }
      ++compared;
    }
    return compared;
  }

  // Every type and a few instances past the last: each lookup ends with a
  // defined code.
  void sweep(const std::map<std::uint8_t, std::uint32_t>& counts) {
    for (std::uint32_t type = 0; type <= 255; ++type) {
      const auto found = counts.find(static_cast<std::uint8_t>(type));
      const std::uint32_t count = found == counts.end() ? 0 : found->second;
      for (std::uint32_t instance = 0; instance <= count + 1; ++instance) {
        tStatus status;
        provider.readByte(selector(cZeSmBiosFieldKind::kByte, static_cast<std::uint8_t>(type), 0), instance, status);
        const std::int32_t code = status.getCode();
        EXPECT_TRUE(instance < count ? code == 0 : code == smbioserr_notFound || code == smbioserr_corrupt)
            << "type " << type << " instance " << instance << " code " << code;
      }
    }
  }

  tSourceProvider provider;
};

TEST(smBiosRealDataTest, EveryFieldDmidecodeReports) {
  const std::vector<fs::path> tables = tableFiles();
  if (tables.empty()) GTEST_SKIP() << "no SMBIOS tables in " << kTables << " (KESTREL_SHARED_DATA_DIR)";
  for (const fs::path& path : tables) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<std::uint8_t> bytes = fileBytes(path);
    const std::vector<tDecodedStructure> decoded = decode(path, bytes);
    ASSERT_FALSE(decoded.empty());
    tRealTable table(bytes);
    std::map<std::uint8_t, std::uint32_t> counts;
    int strings = 0;
    for (const tDecodedStructure& structure : decoded) {
      ASSERT_GE(structure.formatted.size(), 4u);
      const std::uint32_t instance = counts[structure.formatted[0]]++;
      table.compareNumbers(structure, instance);
      strings += table.compareStrings(structure, instance);
    }
    EXPECT_GT(strings, 0);
    RecordProperty(path.stem().string(), std::to_string(decoded.size()) + " structures, " + std::to_string(strings) +
                                             " strings");
    table.sweep(counts);
  }
}

TEST(smBiosRealDataTest, BrokenTableEndsTheWalkAtTheStructureOfLengthZero) {
  const fs::path path = kTables / "HyperV.table";
  if (!fs::exists(path)) GTEST_SKIP() << "no " << path << " (KESTREL_SHARED_DATA_DIR)";
  tRealTable table(fileBytes(path));
  tStatus status;
  table.provider.readByte(selector(cZeSmBiosFieldKind::kByte, 0, 4), 0, status);  // before the break
  EXPECT_EQ(status.getCode(), 0);
  table.provider.readByte(selector(cZeSmBiosFieldKind::kByte, 127, 0), 0, status);  // beyond it
  EXPECT_EQ(status.getCode(), smbioserr_corrupt);
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
