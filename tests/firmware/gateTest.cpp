// The update gate of boards that refuse updates. Each board's SMBIOS table
// is loaded in a process of its own, and this executable never loads the
// default board's.
#include "firmwareUpdateFixture.h"

namespace {

struct FirmwareUpdateCase : FirmwareUpdate {
  using FirmwareUpdate::file;
  using FirmwareUpdate::update;
};

// The gate comes before force and before the file.
void gateCase(const char* board, std::int32_t code) {
  EXPECT_EQ(FirmwareUpdateCase::update(FirmwareUpdateCase::file({{"BIOS", "9.0.0f0", "bios"}}), 2), code) << board;
  EXPECT_EQ(FirmwareUpdateCase::update("HeaderVersion::7", 1), code) << board;
  EXPECT_TRUE(nKESTRELSIM::tSimulator::instance().hostController().receivedImages().empty());
}

TEST_F(FirmwareUpdate, TheUpdateGate) {
  const std::pair<const char*, std::int32_t> boards[] = {{"updateLocked", kestrelerr_attributeNotSupported},
                                                         {"updateLevelHigh", kestrelerr_attributeNotSupported},
                                                         {"noUpdateGate", kestrelerr_deviceNotAvailable}};
  for (const auto& entry : boards) {
    IN_OWN_PROCESS({
      auto profile = defaultProfile();
      profile.board = entry.first;
      startController("1.0.0f0", profile);
      gateCase(entry.first, entry.second);
    });
  }
}

}  // namespace
