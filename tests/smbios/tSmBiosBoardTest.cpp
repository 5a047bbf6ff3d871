// Board descriptions: JSON to table bytes, the shipped boards' properties as
// the provider reads them, and round trips.
#include <gtest/gtest.h>

#include <string>

#include "sim/smbios/smBiosFieldTable.h"
#include "sim/smbios/tSmBiosBoard.h"
#include "source/user/controllerSmBiosFields.h"
#include "smBiosTestProviders.h"

namespace nKESTRELSIM::nSMBIOS {
namespace {

using nKESTREL1400::tStatus;
using nKESTREL1400::nZESMBIOS_1_1::tSourceProvider;
namespace nControllerField = nKESTREL1400::nControllerField;

const std::string kBoards = KESTREL_SIM_SMBIOS_BOARDS_DIR;

// Loads a board's table into a provider of its own.
class tBoardReader {
 public:
  explicit tBoardReader(const tSmBiosBoard& board) {
    provider.source = board.tableBytes();
    provider.identification = board.identification;
  }
  std::int32_t byte(std::uint32_t selector, std::uint32_t instance, std::uint8_t& value) {
    tStatus status;
    value = provider.readByte(selector, instance, status);
    return status.getCode();
  }
  std::uint16_t word(std::uint32_t selector, std::uint32_t instance = 0) {
    tStatus status;
    const std::uint16_t value = provider.readWord(selector, instance, status);
    EXPECT_EQ(status.getCode(), 0) << std::hex << selector;
    return value;
  }
  std::string text(std::uint32_t selector, std::uint32_t instance = 0) {
    char buffer[256] = {};
    std::uint32_t size = sizeof buffer;
    tStatus status;
    provider.readString(selector, instance, buffer, size, status);
    return status.getCode() == 0 ? std::string(buffer) : "<" + std::to_string(status.getCode()) + ">";
  }
  tSourceProvider provider;
};

TEST(tSmBiosBoardTest, DefaultBoard) {
  const tSmBiosBoard board = tSmBiosBoard::fromFile(kBoards + "/default.json");
  tBoardReader reader(board);
  std::uint8_t value = 0;
  EXPECT_EQ(reader.word(nControllerField::kMemoryDeviceCount), 4);  // four memory devices, instances 1 and 3 empty
  EXPECT_EQ(reader.word(nControllerField::kMemoryDeviceSize, 0), 8192);
  EXPECT_EQ(reader.word(nControllerField::kMemoryDeviceSize, 1), 0);
  EXPECT_EQ(reader.word(nControllerField::kMemoryDeviceSize, 2), 8192);
  EXPECT_EQ(reader.word(nControllerField::kMemoryDeviceSize, 3), 0);
  EXPECT_EQ(reader.text(0x1110, 2), "DIMM2");
  ASSERT_EQ(reader.byte(nControllerField::kInfoVersionMajor, 0, value), 0);
  EXPECT_EQ(value, 2);
  ASSERT_EQ(reader.byte(nControllerField::kInfoVersionMinor, 0, value), 0);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(reader.text(nControllerField::kModelText), "KC-8840");
  EXPECT_EQ(reader.text(0x0005), "1.4.0f2");
  EXPECT_EQ(reader.text(0x0106), "B");
  EXPECT_EQ(reader.text(0xA308), "3:1,4:2");
  EXPECT_EQ(reader.text(0x9904), "ExpressCard");
  ASSERT_EQ(reader.byte(nControllerField::kTextWritePermission, 0, value), 0);
  EXPECT_NE(value, 0);
  ASSERT_EQ(reader.byte(0x19D05, 0, value), 0);
  EXPECT_LT(value, 2);
  ASSERT_EQ(reader.byte(0x1B407, 0, value), 0);
  EXPECT_EQ(value, 32);
  for (std::uint32_t type = 150; type <= 163; ++type) {
    EXPECT_EQ(reader.byte(0x10000 | type << 8 | 0x04, 0, value), 0) << type;
  }
  EXPECT_EQ(reader.text(nKESTREL1400::nZESMBIOS_1_1::kIdentificationSelector), board.identification);
}

TEST(tSmBiosBoardTest, RefusedAndUnsupportedBoards) {
  tBoardReader refused(tSmBiosBoard::fromFile(kBoards + "/modelRefused.json"));
  std::uint8_t value = 0;
  EXPECT_EQ(refused.text(nControllerField::kModelText), "<240050>");
  EXPECT_EQ(refused.byte(nControllerField::kSlotCount, 0, value), smbioserr_notFound);
  EXPECT_EQ(refused.byte(nControllerField::kChassisByte, 0, value), smbioserr_notFound);
  ASSERT_EQ(refused.byte(nControllerField::kModelByte, 0, value), 0);
  EXPECT_EQ(value, 5);

  tBoardReader unsupported(tSmBiosBoard::fromFile(kBoards + "/unsupportedVersion.json"));
  ASSERT_EQ(unsupported.byte(nControllerField::kInfoVersionMajor, 0, value), 0);
  EXPECT_EQ(value, 1);
  ASSERT_EQ(unsupported.byte(nControllerField::kInfoVersionMinor, 0, value), 0);
  EXPECT_EQ(value, 2);
}

TEST(tSmBiosBoardTest, RoundTripKeepsTableBytesAndForeignMembers) {
  tSmBiosBoard board = tSmBiosBoard::fromFile(kBoards + "/default.json");
  board.extra["companion"] = {{"present", true}};
  const nlohmann::json written = board.toJson();
  const tSmBiosBoard again = tSmBiosBoard::fromJson(written);
  EXPECT_EQ(again.tableBytes(), board.tableBytes());
  EXPECT_EQ(again.identification, board.identification);
  EXPECT_EQ(again.extra.at("companion").at("present"), true);
  EXPECT_EQ(again.toJson(), written);
}

TEST(tSmBiosBoardTest, StructureForms) {
  const auto board = tSmBiosBoard::fromJson(nlohmann::json::parse(R"({
    "smbios": { "endOfTable": false, "structures": [
      { "type": 200, "handle": 4660, "formatted": "01 02", "stringSet": ["a", "b"],
        "string": { "0x07": "c" }, "word": { "8": 513 } } ] } })"));
  const std::vector<std::uint8_t> expected = {200, 10, 0x34, 0x12, 1, 2, 0, 3, 1, 2,
                                              'a', 0, 'b', 0, 'c', 0, 0};
  EXPECT_EQ(board.tableBytes(), expected);
}

TEST(tSmBiosBoardTest, MalformedDescriptionsNameTheMember) {
  const auto message = [](const char* text) {
    try {
      tSmBiosBoard::fromJson(nlohmann::json::parse(text));
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_NE(message(R"({"smbios": {"structures": [{"type": 17, "fields": {"sise": 1}}]}})")
                .find("smbios.structures[0].fields.sise"),
            std::string::npos);
  EXPECT_NE(message(R"({"smbios": {"structures": [{"type": 0, "byte": {"0x04": 256}}]}})").find("0x04"),
            std::string::npos);
  EXPECT_NE(message(R"({"smbios": {"structures": [{"type": 0, "byte": {"0x02": 1}}]}})").find("offset"),
            std::string::npos);
  EXPECT_NE(message(R"({"smbios": {"structures": [{"type": 0, "lenght": 9}]}})").find("unknown member"),
            std::string::npos);
  EXPECT_NE(message(R"({"smbios": {"structures": [{"type": 1, "fields": {"uuid": "00"}}]}})").find("16 bytes"),
            std::string::npos);
  EXPECT_NE(message(R"({"name": "no table"})").find("smbios"), std::string::npos);
}

}  // namespace
}  // namespace nKESTRELSIM::nSMBIOS
