// Text controller attributes on the default simulated board.
#include <vector>

#include "simulatedBoard.h"

namespace {

class TextAttributes : public SimulatedBoard {
 protected:
  TextAttributes() {
    start(defaultProfile());
    EXPECT_EQ(open(), 0);
  }
};

TEST_F(TextAttributes, SmbiosTexts) {
  const std::pair<std::uint32_t, const char*> rows[] = {
      {KESTREL_ATTR_SYSTEM_MANUFACTURER, "Kestrel Controls"},
      {KESTREL_ATTR_PRODUCT_NAME, "KC-8840 Embedded Controller"},
      {KESTREL_ATTR_SERIAL_NUMBER, "01C2F3A4"},
      {KESTREL_ATTR_SYSTEM_VERSION, "B"},
      {KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS, "1.4.0f2"},
      {KESTREL_ATTR_BOARD_TEXT_1, "KC-8840"},
      {KESTREL_ATTR_BOARD_TEXT_2, "1.2.0f1"},
      {KESTREL_ATTR_MEMORY_MANUFACTURER, "Simulated Memory"},
      {KESTREL_ATTR_MEMORY_PART_NUMBER + 1, "SM4-8G2666"},
      {KESTREL_ATTR_MEMORY_SERIAL_NUMBER + 1, "E5F6A7B8"},
      {KESTREL_ATTR_MEMORY_LOCATOR + 1, "DIMM2"},
      {KESTREL_ATTR_PROCESSOR_MANUFACTURER, "Simulated Silicon"},
      {KESTREL_ATTR_CONTROLLER_MODEL_NAME, "KC-8840"},
      {KESTREL_ATTR_SLOT_TEXT + 1, "02:1"},
      {KESTREL_ATTR_EXPANSION_TEXT, "05:0 slot"},
      {KESTREL_ATTR_EXPANSION_TEXT_2, "ExpressCard/34"},
      {KESTREL_ATTR_BUS_TEXT, "04:1 link"},
      {KESTREL_ATTR_CHASSIS_TEXT, "Front panel"},
      {KESTREL_ATTR_TRIGGER_TEXT, "03:1,4:2"},
      {KESTREL_ATTR_TRIGGER_FIELDS, "03:1,04:2"},
      {KESTREL_ATTR_TRIGGER_FIELDS + 1, "01:0,02:0"},
  };
  for (const auto& [id, expected] : rows) {
    const auto read = text(id);
    EXPECT_EQ(read.code, 0) << std::hex << id;
    EXPECT_EQ(read.value, expected) << std::hex << id;
  }
}

TEST_F(TextAttributes, BufferOfExactlyTheSizeFitsAndOneLessDoesNot) {
  const std::string expected = "Kestrel Controls";
  std::vector<char> buffer(expected.size() + 1, 'x');
  std::uint64_t length = buffer.size();
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_SYSTEM_MANUFACTURER, buffer.data(), &length), 0);
  EXPECT_EQ(std::string(buffer.data()), expected);

  length = expected.size();
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_SYSTEM_MANUFACTURER, buffer.data(), &length),
            kestrelerr_bufferTooSmall);
  EXPECT_EQ(length, expected.size() + 1);
}

TEST_F(TextAttributes, NormalisedTextOneByteShort) {
  char buffer[8];
  std::uint64_t length = sizeof buffer;  // "03:1,4:2" needs 9
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_TRIGGER_TEXT, buffer, &length),
            kestrelerr_bufferTooSmall);
  EXPECT_EQ(length, 9u);
}

TEST_F(TextAttributes, BiosVersionComesFromTheCompanionUnlessSmbiosIsAskedFor) {
  sim().marten().attributes().setText(KESTREL_ATTR_BIOS_VERSION, "2.0.0f5");
  EXPECT_EQ(text(KESTREL_ATTR_BIOS_VERSION).value, "2.0.0f5");
  EXPECT_EQ(text(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS).value, "1.4.0f2");
}

TEST_F(TextAttributes, UnsupportedIdsAndEntries) {
  EXPECT_EQ(text(0x10999900).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(text(KESTREL_ATTR_SLOT_TEXT + 2).code, kestrelerr_attributeNotSupported);   // count 2
  EXPECT_EQ(text(KESTREL_ATTR_TRIGGER_TEXT + 5).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(text(KESTREL_ATTR_MEMORY_LOCATOR + 2).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(text(KESTREL_ATTR_SYSTEM_MANUFACTURER + 1).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(text(KESTREL_ATTR_BOARD_TEXT).code, kestrelerr_attributeNotSupported) << "information version 2";
}

TEST_F(TextAttributes, UserTextGoesToControllerAndCompanion) {
  EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, "bench 4"), 0);
  EXPECT_EQ(sim().hostController().attributes().text(KESTREL_ATTR_USER_TEXT), "bench 4");
}

TEST_F(TextAttributes, TextsOfAtMost255BytesAreWritten) {
  sim().hostController().attributes().setText(KESTREL_ATTR_USER_TEXT, "");
  const std::string longest(255, 'a');
  EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, longest.c_str()), 0);
  EXPECT_EQ(sim().hostController().attributes().text(KESTREL_ATTR_USER_TEXT), longest);
  const std::string tooLong(256, 'a');
  EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, tooLong.c_str()),
            kestrelerr_stringTooLong);
}

}  // namespace
