// Lookups of the SMBIOS provider against tables built with the simulator's
// table builder, well-formed and damaged.
#include <gtest/gtest.h>

#include <string>

#include "sim/smbios/smBiosFieldTable.h"
#include "sim/smbios/tSmBiosTableBuilder.h"
#include "source/user/controllerSmBiosFields.h"
#include "smBiosTestProviders.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

using nKESTRELSIM::nSMBIOS::tSmBiosStructure;
using nKESTRELSIM::nSMBIOS::tSmBiosTableBuilder;

constexpr std::uint32_t kBiosVersion = 0x0005;     // type 0, 05h, string
constexpr std::uint32_t kBiosStartSegment = 0x20006;
constexpr std::uint32_t kVersionMajor = nControllerField::kInfoVersionMajor;   // type 150, 04h, byte
constexpr std::uint32_t kVendorWord = 0x29606;     // type 150, 06h, word
constexpr std::uint32_t kProcessorId = 0x40408;    // type 4, 08h, quad word
constexpr std::uint32_t kMemorySize = nControllerField::kMemoryDeviceSize;     // type 17, 0Ch, word

std::vector<std::uint8_t> sampleTable() {
  tSmBiosTableBuilder builder;
  builder.add(0).setString(0x04, "Kestrel Controls").setString(0x05, "1.4.0f2").setWord(0x06, 0xF000);
  builder.add(4).setQword(0x08, 0x0123456789ABCDEFull);
  builder.add(17).setWord(0x0C, 8192);
  builder.add(17).setWord(0x0C, 0);
  builder.add(tSmBiosStructure(150, 0x12)).setByte(0x04, 2).setWord(0x06, 0x1234).setString(0x10, "");
  return builder.build();
}

class cZeSmBiosProviderTest : public ::testing::Test {
 protected:
  void SetUp() override { provider.source = sampleTable(); }

  std::int32_t readString(std::uint32_t selector, std::uint32_t instance, char* buffer, std::uint32_t& size) {
    return codeOf([&](tStatus& status) { provider.readString(selector, instance, buffer, size, status); });
  }
  std::string stringOf(std::uint32_t selector, std::uint32_t instance = 0) {
    char buffer[256] = {};
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(readString(selector, instance, buffer, size), 0);
    return buffer;
  }

  tSourceProvider provider;
};

TEST_F(cZeSmBiosProviderTest, ReadsEachKindLittleEndianAndUnaligned) {
  tStatus status;
  EXPECT_EQ(provider.readByte(kVersionMajor, 0, status), 2);
  EXPECT_EQ(provider.readWord(kVendorWord, 0, status), 0x1234);
  EXPECT_EQ(provider.readWord(kBiosStartSegment, 0, status), 0xF000);
  EXPECT_EQ(provider.readQword(kProcessorId, 0, status), 0x0123456789ABCDEFull);
  EXPECT_EQ(provider.readWord(kMemorySize, 0, status), 8192);
  EXPECT_EQ(provider.readWord(kMemorySize, 1, status), 0);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_EQ(stringOf(kBiosVersion), "1.4.0f2");
  EXPECT_EQ(stringOf(0x0004), "Kestrel Controls");
  EXPECT_EQ(provider.loads, 1);
}

TEST_F(cZeSmBiosProviderTest, MissingStructuresFieldsAndKindsAreNotFound) {
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readWord(kMemorySize, 2, s); }), smbioserr_notFound);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(kVersionMajor, 1, s); }), smbioserr_notFound);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(0x1FF04, 0, s); }), smbioserr_notFound);
  // The selector's kind must match the reader, dword has no reader.
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(kVendorWord, 0, s); }), smbioserr_notFound);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readWord(kVersionMajor, 0, s); }), smbioserr_notFound);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readQword(0x39604, 0, s); }), smbioserr_notFound);
  char buffer[8];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(readString(kVersionMajor, 0, buffer, size), smbioserr_notFound);
  // Type 150 is 0x12 bytes long: offset 0x11 holds a byte but no word, 0x12 nothing.
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(0x19611, 0, s); }), 0);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readWord(0x29611, 0, s); }), smbioserr_notFound);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(0x19612, 0, s); }), smbioserr_notFound);
  // A kind without a reader.
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(0x59604, 0, s); }), smbioserr_notFound);
}

TEST_F(cZeSmBiosProviderTest, StringTwoCallProtocol) {
  std::uint32_t size = 0;
  EXPECT_EQ(readString(kBiosVersion, 0, nullptr, size), smbioserr_bufferTooSmall);
  EXPECT_EQ(size, 8u);
  std::string text(size, 'x');
  EXPECT_EQ(readString(kBiosVersion, 0, text.data(), size), 0);
  EXPECT_STREQ(text.c_str(), "1.4.0f2");
  size = 7;
  EXPECT_EQ(readString(kBiosVersion, 0, text.data(), size), smbioserr_bufferTooSmall);
  EXPECT_EQ(size, 8u);
  // A null buffer that would have fitted is refused.
  EXPECT_EQ(readString(kBiosVersion, 0, nullptr, size), brioerr_invalidParameter);
}

TEST_F(cZeSmBiosProviderTest, StringNumberZeroIsAWarningWithAnEmptyText) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(readString(0x9610, 0, buffer, size), smbioserr_stringNotPresent);
  EXPECT_EQ(buffer[0], '\0');
  size = 0;
  buffer[0] = 'x';
  EXPECT_EQ(readString(0x9610, 0, buffer, size), smbioserr_stringNotPresent);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(readString(0x9610, 0, nullptr, size), smbioserr_stringNotPresent);
}

TEST_F(cZeSmBiosProviderTest, IdentificationIsTheOnlyProviderItem) {
  EXPECT_EQ(stringOf(kIdentificationSelector), "test table");
  char buffer[32];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(readString(kIdentificationSelector, 1, buffer, size), smbioserr_notFound);
  EXPECT_EQ(readString(0xF0002, 0, buffer, size), smbioserr_notFound);
  EXPECT_EQ(readString(0xF0104, 0, buffer, size), smbioserr_notFound);
}

TEST_F(cZeSmBiosProviderTest, StringLengthLimitAndStringSetEnd) {
  tSmBiosTableBuilder builder;
  builder.add(tSmBiosStructure(200, 8))
      .setString(0x04, std::string(128, 'a'))
      .setString(0x05, std::string(129, 'b'))
      .setByte(0x06, 3)    // the set holds two strings
      .setByte(0x07, 255);
  provider.source = builder.build();
  EXPECT_EQ(stringOf(0xC804), std::string(128, 'a'));
  char buffer[256];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(readString(0xC805, 0, buffer, size), smbioserr_corrupt);
  EXPECT_EQ(readString(0xC806, 0, buffer, size), smbioserr_corrupt);
  EXPECT_EQ(readString(0xC807, 0, buffer, size), smbioserr_corrupt);
}

TEST_F(cZeSmBiosProviderTest, FailedLoadIsRetriedAndTheFirstLoadWins) {
  provider.source.clear();
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(kVersionMajor, 0, s); }), smbioserr_dumpUnavailable);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readByte(kVersionMajor, 0, s); }), smbioserr_dumpUnavailable);
  EXPECT_EQ(provider.loads, 2);
  EXPECT_FALSE(provider.isLoaded());

  // Refused arguments leave the provider unloaded.
  const std::vector<std::uint8_t> table = sampleTable();
  const auto length = static_cast<std::uint32_t>(table.size());
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.loadFromMemory(nullptr, table.data(), length, s); }),
            brioerr_invalidParameter);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.loadFromMemory("id", nullptr, length, s); }), brioerr_invalidParameter);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.loadFromMemory("id", table.data(), 0, s); }), brioerr_invalidParameter);
  EXPECT_FALSE(provider.isLoaded());

  EXPECT_EQ(codeOf([&](tStatus& s) { provider.loadFromMemory("first", table.data(), length, s); }), 0);
  tSmBiosTableBuilder other;
  other.add(tSmBiosStructure(150, 5)).setByte(0x04, 9);
  const std::vector<std::uint8_t> second = other.build();
  EXPECT_EQ(codeOf([&](tStatus& s) {
              provider.loadFromMemory("second", second.data(), static_cast<std::uint32_t>(second.size()), s);
            }),
            0);
  tStatus status;
  EXPECT_EQ(provider.readByte(kVersionMajor, 0, status), 2);
  EXPECT_EQ(stringOf(kIdentificationSelector), "first");
  EXPECT_EQ(provider.loads, 2);
}

TEST_F(cZeSmBiosProviderTest, OverlongIdentificationIsLeftEmpty) {
  const std::vector<std::uint8_t> table = sampleTable();
  const std::string text(256, 'i');
  EXPECT_EQ(codeOf([&](tStatus& s) {
              provider.loadFromMemory(text.c_str(), table.data(), static_cast<std::uint32_t>(table.size()), s);
            }),
            0);
  EXPECT_EQ(stringOf(kIdentificationSelector), "");
}

TEST_F(cZeSmBiosProviderTest, AnErrorAlreadyHeldStopsEveryOperation) {
  tStatus status;
  status.setCode(brioerr_resourceFailure, kSourceLocation{"test", 1});
  EXPECT_EQ(provider.readByte(kVersionMajor, 0, status), 0);
  std::uint32_t size = 0;
  provider.readString(kBiosVersion, 0, nullptr, size, status);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(status.getCode(), brioerr_resourceFailure);
  EXPECT_EQ(provider.loads, 0);
}

// Damaged tables: every lookup ends with a code, never outside the table.
class cZeSmBiosDamagedTableTest : public cZeSmBiosProviderTest {
 protected:
  std::int32_t byteCode(std::uint32_t selector, std::uint32_t instance = 0) {
    return codeOf([&](tStatus& s) { provider.readByte(selector, instance, s); });
  }
};

TEST_F(cZeSmBiosDamagedTableTest, StructureOfLengthZeroEndsTheWalk) {
  std::vector<std::uint8_t> table = sampleTable();
  // The third structure (first type 17) gets length 0.
  std::size_t position = 0;
  for (int i = 0; i < 2; ++i) {
    position += table[position + 1];
    while (table[position] != 0 || table[position + 1] != 0) ++position;
    position += 2;
  }
  ASSERT_EQ(table[position], 17);
  table[position + 1] = 0;
  provider.source = table;
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readQword(kProcessorId, 0, s); }), 0);
  EXPECT_EQ(codeOf([&](tStatus& s) { provider.readWord(kMemorySize, 0, s); }), smbioserr_corrupt);
  EXPECT_EQ(byteCode(kVersionMajor), smbioserr_corrupt);
}

TEST_F(cZeSmBiosDamagedTableTest, TruncatedTables) {
  const std::vector<std::uint8_t> whole = sampleTable();
  for (std::size_t length = 1; length < whole.size(); ++length) {
    tSourceProvider cut;
    cut.source.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    for (std::uint32_t selector : {kVersionMajor, 0x1FF04u, 0x17F00u}) {
      const std::int32_t code = codeOf([&](tStatus& s) { cut.readByte(selector, 0, s); });
      EXPECT_TRUE(code == 0 || code == smbioserr_corrupt || code == smbioserr_notFound) << length << " " << code;
    }
    char buffer[64];
    std::uint32_t size = sizeof buffer;
    const std::int32_t code = codeOf([&](tStatus& s) { cut.readString(kBiosVersion, 0, buffer, size, s); });
    EXPECT_TRUE(code == 0 || code == smbioserr_corrupt) << length << " " << code;
  }
}

TEST_F(cZeSmBiosDamagedTableTest, StringSetWithoutTerminatorAtTheTableEnd) {
  tSmBiosTableBuilder builder;
  builder.setEndOfTable(false);
  builder.add(0).setString(0x05, "1.0");
  std::vector<std::uint8_t> table = builder.build();
  table.resize(table.size() - 2);  // "1.0" without its NUL and the set's end
  provider.source = table;
  char buffer[16];
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(readString(kBiosVersion, 0, buffer, size), smbioserr_corrupt);
  EXPECT_EQ(byteCode(0x10014), 0);                      // the formatted area is intact
  EXPECT_EQ(byteCode(0x10004, 1), smbioserr_corrupt);   // no way past it
}

TEST_F(cZeSmBiosDamagedTableTest, FormattedAreaPastTheTableEnd) {
  tSmBiosTableBuilder builder;
  builder.setEndOfTable(false);
  builder.add(tSmBiosStructure(150, 0x20)).setByte(0x04, 2);
  std::vector<std::uint8_t> table = builder.build();
  table.resize(0x10);
  provider.source = table;
  EXPECT_EQ(byteCode(kVersionMajor), smbioserr_corrupt);
  EXPECT_EQ(byteCode(0x1FF04), smbioserr_corrupt);
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
