// Loading the dump file, and the process-wide provider's accessors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/smbios/smBiosDumpFile.h"
#include "sim/smbios/tSmBiosTableBuilder.h"
#include "source/user/controllerSmBiosFields.h"
#include "smBiosTestProviders.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

using nKESTRELSIM::nSMBIOS::smBiosDumpFileBytes;
using nKESTRELSIM::nSMBIOS::tSmBiosStructure;
using nKESTRELSIM::nSMBIOS::tSmBiosTableBuilder;

constexpr std::uint32_t kVersionMajor = nControllerField::kInfoVersionMajor;

std::vector<std::uint8_t> sampleTable() {
  tSmBiosTableBuilder builder;
  builder.add(0).setString(0x05, "1.4.0f2");
  builder.add(150).setByte(0x04, 2);
  return builder.build();
}

class cZeSmBiosDumpFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path); }

  void writeFile(const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::int32_t readVersionMajor(std::uint8_t* value = nullptr) {
    tStatus status;
    const std::uint8_t result = provider.readByte(kVersionMajor, 0, status);
    if (value != nullptr) *value = result;
    return status.getCode();
  }
  std::string identification() {
    char buffer[300] = {};
    std::uint32_t size = sizeof buffer;
    tStatus status;
    provider.readString(kIdentificationSelector, 0, buffer, size, status);
    EXPECT_EQ(status.getCode(), 0);
    return buffer;
  }

  std::string path = ::testing::TempDir() + "smbiosdmp." + std::to_string(::getpid());
  tDumpFileProvider provider{path};
};

TEST_F(cZeSmBiosDumpFileTest, LoadsTableAndIdentificationIgnoringTrailingBytes) {
  std::vector<std::uint8_t> bytes = smBiosDumpFileBytes("board 7", sampleTable());
  bytes.insert(bytes.end(), {0xFF, 0x01, 0x02});
  writeFile(bytes);
  std::uint8_t value = 0;
  EXPECT_EQ(readVersionMajor(&value), 0);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(identification(), "board 7");
}

TEST_F(cZeSmBiosDumpFileTest, MissingFileIsRetriedAtTheNextLookup) {
  EXPECT_EQ(readVersionMajor(), smbioserr_dumpUnavailable);
  writeFile(smBiosDumpFileBytes("late", sampleTable()));
  EXPECT_EQ(readVersionMajor(), 0);
}

TEST_F(cZeSmBiosDumpFileTest, OverlongIdentificationLoadsTheTableWithAnEmptyText) {
  writeFile(smBiosDumpFileBytes(std::string(300, 'x'), sampleTable()));
  EXPECT_EQ(readVersionMajor(), 0);
  EXPECT_EQ(identification(), "");
}

TEST_F(cZeSmBiosDumpFileTest, IdentificationOf255CharactersIsKept) {
  writeFile(smBiosDumpFileBytes(std::string(255, 'y'), sampleTable()));
  EXPECT_EQ(identification(), std::string(255, 'y'));
}

TEST_F(cZeSmBiosDumpFileTest, ShortFilesAreCorruptAndLeaveTheProviderUnloaded) {
  const std::vector<std::uint8_t> whole = smBiosDumpFileBytes("id", sampleTable());
  // Inside the text, inside the length field, inside the table.
  for (std::size_t length : {std::size_t{0}, std::size_t{2}, std::size_t{4}, whole.size() - 1}) {
    writeFile({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)});
    EXPECT_EQ(readVersionMajor(), smbioserr_corrupt) << length;
    EXPECT_FALSE(provider.isLoaded());
  }
  writeFile(smBiosDumpFileBytes("id", {}));
  EXPECT_EQ(readVersionMajor(), smbioserr_corrupt);
  EXPECT_FALSE(provider.isLoaded());
  writeFile(whole);
  EXPECT_EQ(readVersionMajor(), 0);
}

// The process-wide provider: the one test in this program that loads it.
TEST(smBiosAccessorsTest, NullPointersAndTheFirstLoad) {
  std::uint8_t byte = 0;
  std::uint16_t word = 0;
  std::uint64_t qword = 0;
  char buffer[32];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(smBiosReadByte(kVersionMajor, 0, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(smBiosReadWord(0x29606, 0, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(smBiosReadQword(0x40408, 0, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(smBiosReadString(0x0005, 0, buffer, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(smBiosLoad("id", buffer, nullptr), brioerr_invalidParameter);
  if (!std::filesystem::exists(kSmBiosDumpFilePath)) {
    EXPECT_EQ(smBiosReadByte(kVersionMajor, 0, &byte), smbioserr_dumpUnavailable);
  }

  tSmBiosTableBuilder builder;
  builder.add(0).setString(0x05, "1.4.0f2");
  builder.add(tSmBiosStructure(150, 0x0E)).setByte(0x04, 2).setWord(0x06, 0xBEEF);
  builder.add(4).setQword(0x08, 0x1122334455667788ull);
  const std::vector<std::uint8_t> table = builder.build();
  std::uint32_t length = static_cast<std::uint32_t>(table.size());
  ASSERT_EQ(smBiosLoad("process table", table.data(), &length), 0);
  const std::vector<std::uint8_t> other = sampleTable();
  length = static_cast<std::uint32_t>(other.size());
  EXPECT_EQ(smBiosLoad("ignored", other.data(), &length), 0);

  EXPECT_EQ(smBiosReadByte(kVersionMajor, 0, &byte), 0);
  EXPECT_EQ(smBiosReadWord(0x29606, 0, &word), 0);
  EXPECT_EQ(smBiosReadQword(0x40408, 0, &qword), 0);
  EXPECT_EQ(smBiosReadString(kIdentificationSelector, 0, buffer, &size), 0);
  EXPECT_EQ(byte, 2);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(qword, 0x1122334455667788ull);
  EXPECT_STREQ(buffer, "process table");
  // Values are left alone on errors.
  word = 7;
  EXPECT_EQ(smBiosReadWord(0x29606, 1, &word), smbioserr_notFound);
  EXPECT_EQ(word, 7);
  EXPECT_EQ(&smBiosProvider(), &smBiosProvider());
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
