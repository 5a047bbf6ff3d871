// Boards that differ from the default one. Each case loads its own SMBIOS
// table, so each runs in a process of its own.
#include "simulatedBoard.h"

namespace {

class BoardVariants : public SimulatedBoard {
 protected:
  // Starts the default controller on the default board changed by `change`.
  template <typename Change>
  void startChanged(Change change, nKESTRELSIM::tProfile profile = defaultProfile()) {
    nlohmann::json board = defaultBoard();
    change(board);
    start(profile, board);
  }
};

TEST_F(BoardVariants, ShippedRefusedBoardsDoNotOpen) {
  for (const char* board : {"modelRefused", "unsupportedVersion"}) {
    IN_OWN_PROCESS({
      auto profile = defaultProfile();
      profile.board = board;
      start(profile);
      EXPECT_EQ(open(), kestrelerr_deviceNotAvailable) << board;
      EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
    });
  }
}

TEST_F(BoardVariants, VersionBytesDecideSupport) {
  const std::pair<int, int> refused[] = {{1, 2}, {2, 3}};
  for (const auto& version : refused) {
    IN_OWN_PROCESS({
      startChanged([&](nlohmann::json& board) {
        structure(board, 150)["fields"]["versionMajor"] = version.first;
        structure(board, 150)["fields"]["versionMinor"] = version.second;
      });
      EXPECT_EQ(open(), kestrelerr_deviceNotAvailable);
    });
  }
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) { structure(board, 150)["fields"]["versionMajor"] = 7; });
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(text(KESTREL_ATTR_BOARD_TEXT).value, "Rev C") << "information version 7 has the board text";
  });
}

TEST_F(BoardVariants, ModelFromTheVendorStructures) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) { structure(board, 151)["fields"]["modelText"] = ""; });
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(u32(KESTREL_ATTR_CONTROLLER_MODEL).value, 2u) << "type 152 present";
  });
}

TEST_F(BoardVariants, TextComparisonsAreExact) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) {
      structure(board, 153)["string"]["0x04"] = "gpib";
      board["smbios"]["structures"].push_back({{"type", 153}, {"string", {{"0x04", "GPIB"}}}});
      board["smbios"]["structures"].push_back({{"type", 153}, {"string", {{"0x04", "Thunderbolt"}}}});
      structure(board, 154)["string"]["0x04"] = "PCIe";
    });
    ASSERT_EQ(open(), 0);
    const auto lower = u32(KESTREL_ATTR_EXPANSION_INTERFACE);
    EXPECT_EQ(lower.code, 0);
    EXPECT_EQ(lower.value, 0xFFFFFFFFu);
    EXPECT_EQ(u32(KESTREL_ATTR_EXPANSION_INTERFACE + 1).value, 2u);
    EXPECT_EQ(u32(KESTREL_ATTR_EXPANSION_INTERFACE + 2).value, 3u);
    EXPECT_EQ(u32(KESTREL_ATTR_BUS_TYPE).value, 0xFFFFFFFFu);
  });
}

TEST_F(BoardVariants, SlotEntriesFollowTheCount) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) {
      structure(board, 152)["fields"]["entryCount"] = 3;
      structure(board, 152)["byte"]["0x0B"] = 77;
    });
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(u32(KESTREL_ATTR_SLOT_ENTRY + 2).value, 77u);
    EXPECT_EQ(u32(KESTREL_ATTR_SLOT_ENTRY + 3).code, kestrelerr_attributeNotSupported);
  });
}

TEST_F(BoardVariants, BusWidthMustBeAKnownOne) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) { structure(board, 180)["byte"]["0x07"] = 20; });
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(u32(KESTREL_ATTR_BUS_WIDTH).code, kestrelerr_attributeNotSupported);
  });
}

TEST_F(BoardVariants, TextsThatAreNoValue) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) {
      structure(board, 1)["fields"]["serialNumber"] = "Not Applicable";
      structure(board, 1)["fields"]["version"] = "1.4.0f2";  // the BIOS version
    });
    ASSERT_EQ(open(), 0);
    char buffer[32] = {};
    std::uint64_t length = sizeof buffer;
    EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_SERIAL_NUMBER, buffer, &length),
              kestrelerr_attributeNotSupported);
    EXPECT_STREQ(buffer, "Not Applicable") << "the text was delivered before it was judged";
    EXPECT_EQ(text(KESTREL_ATTR_SYSTEM_VERSION).code, kestrelerr_attributeNotSupported);
  });
}

TEST_F(BoardVariants, ControllerTextWritesFollowTheBoard) {
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json& board) { structure(board, 157)["fields"]["textWriteSupport"] = 0; },
                 withoutCompanion());
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, "x"),
              kestrelerr_attributeNotSupported);
    EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, "x"),
              kestrelerr_attributeNotSupported);
  });
  IN_OWN_PROCESS({
    startChanged([](nlohmann::json&) {}, withoutCompanion());
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, "bench 4"), 0)
        << "the companion copy is optional";
    EXPECT_EQ(text(KESTREL_ATTR_BIOS_VERSION).value, "1.4.0f2") << "no companion: SMBIOS answers";
    EXPECT_EQ(u32(0x20299900).code, kestrelerr_deviceNotAvailable);
  });
}

}  // namespace
