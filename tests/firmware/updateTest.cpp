// KESTREL_updateFirmware and KESTREL_updateFirmware2 on the default
// simulated controller (BIOS 1.4.0f2, companion firmware 1.2.0f3).
#include <glob.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include "firmwareUpdateFixture.h"
#include "platform/driverWireFormat.h"

using namespace nKESTRELSIM;

TEST_F(FirmwareUpdate, NewerImagesGoToTheirTargetsBiosFirst) {
  startController("1.0.0f0");
  const auto images = file({{"SAFEMODE", "1.0.0f1", "safe"}, {"MARTEN", "1.2.0f4", "companion"},
                            {"BIOS", "1.4.0f3", "bios"}});
  EXPECT_EQ(update(images, 0), 0);
  EXPECT_EQ(biosImages(), std::vector<std::string>{"bios"});
  EXPECT_EQ(companionImages(), std::vector<std::string>{"companion"});
  EXPECT_EQ(safeModeImages(), std::vector<std::string>{"safe"});
  // The BIOS request precedes the companion's.
  const auto requests = sim().requests();
  const auto position = [&](std::uint32_t code) {
    return std::find_if(requests.begin(), requests.end(), [&](const auto& entry) { return entry.code == code; }) -
           requests.begin();
  };
  EXPECT_LT(position(nKESTREL1400::nDriverWire::kUpdateFirmware),
            position(nKESTREL1400::nDriverWire::kUpdateMartenFirmware));
  // After success the companion's record of the BIOS version stays parked.
  EXPECT_EQ(companionRecord(), "0.0.0f0");
}

TEST_F(FirmwareUpdate, VersionsDecideWithoutForce) {
  startController("1.0.0f0");
  const auto equal = file({{"BIOS", "1.4.0f2", "bios"}, {"MARTEN", "1.2.0f3", "companion"}, {"SAFEMODE", "1.0.0f0", "s"}});
  EXPECT_EQ(update(equal, 0), 0);
  EXPECT_TRUE(biosImages().empty());
  EXPECT_TRUE(companionImages().empty());
  EXPECT_TRUE(safeModeImages().empty());
  EXPECT_EQ(companionRecord(), "1.4.0f2");  // both targets current: the hardware step did not run

  // An image version that does not parse is never newer.
  EXPECT_EQ(update(file({{"BIOS", "latest", "bios"}}), 0), 0);
  EXPECT_TRUE(biosImages().empty());
  // With force every image goes, equal or not.
  EXPECT_EQ(KESTREL_updateFirmware(kControllerHandle, reinterpret_cast<const std::uint8_t*>(equal.data()), equal.size()), 0);
  EXPECT_EQ(biosImages(), std::vector<std::string>{"bios"});
  EXPECT_EQ(companionImages(), std::vector<std::string>{"companion"});
  EXPECT_EQ(safeModeImages(), std::vector<std::string>{"s"});
}

TEST_F(FirmwareUpdate, OneCurrentImageHoldsBackItsWholeTarget) {
  startController("1.0.0f0");
  sim().marten().attributes().setText(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, "not a version");
  EXPECT_EQ(update(file({{"BIOS", "1.5.0f0", "new"}, {"BIOS", "1.0.0f0", "old"}, {"MARTEN", "0.0.0d1", "m"}}), 0), 0);
  EXPECT_TRUE(biosImages().empty());                                 // "old" is listed first and is not newer
  EXPECT_EQ(companionImages(), std::vector<std::string>{"m"});       // the installed version packs to 0
}

TEST_F(FirmwareUpdate, AFileWithoutSectionsOnlyParksTheCompanionRecord) {
  startController();
  EXPECT_EQ(update("", 0), 0);
  EXPECT_EQ(companionRecord(), "0.0.0f0");
  EXPECT_TRUE(biosImages().empty());
  EXPECT_TRUE(companionImages().empty());
}

TEST_F(FirmwareUpdate, ForceAboveOneIsRefusedBeforeParsing) {
  startController();
  sim().clearRequests();
  EXPECT_EQ(update("HeaderVersion::7\r\n", 2), kestrelerr_stringTooLong);
  EXPECT_EQ(update("HeaderVersion::7\r\n", -1), kestrelerr_stringTooLong);
  EXPECT_TRUE(sim().requests().empty());
  EXPECT_EQ(update("HeaderVersion::7\r\n", 1), kestrelerr_invalidImage);
}

TEST_F(FirmwareUpdate, CompanionImagesNeedTheCompanion) {
  startController("1.0.0f0", withoutCompanion());
  for (std::int32_t force : {0, 1}) {
    EXPECT_EQ(update(file({{"BIOS", "9.0.0f0", "bios"}, {"SAFEMODE", "9.0.0f0", "s"}, {"MARTEN", "9.0.0f0", "m"}}), force),
              kestrelerr_invalidImage);
  }
  EXPECT_TRUE(biosImages().empty());
  EXPECT_TRUE(safeModeImages().empty());
  // Without the companion the rest installs as usual.
  EXPECT_EQ(update(file({{"BIOS", "9.0.0f0", "bios"}}), 0), 0);
  EXPECT_EQ(biosImages(), std::vector<std::string>{"bios"});
}

TEST_F(FirmwareUpdate, AFailingBiosWriteRestoresTheRecordAndStillInstallsSafeMode) {
  startController("1.0.0f0");
  sim().failRequests(nKESTREL1400::nDriverWire::kUpdateFirmware, 1, {.status = -52024});
  const auto images = file({{"BIOS", "2.0.0f0", "bios"}, {"MARTEN", "2.0.0f0", "m"}, {"SAFEMODE", "2.0.0f0", "s"}});
  EXPECT_EQ(update(images, 0), -52024);
  EXPECT_EQ(companionRecord(), "1.4.0f2");
  EXPECT_TRUE(companionImages().empty());  // the loop ends at the first failure
  EXPECT_EQ(safeModeImages(), std::vector<std::string>{"s"});
}

TEST_F(FirmwareUpdate, ProfileFailuresPerTarget) {
  auto profile = defaultProfile();
  profile.firmware = tFirmwareProfile{{}, {0, 5}, {{"1.0.0f0", 3}}};
  startController("", profile);
  EXPECT_EQ(update(file({{"MARTEN", "2.0.0f0", "m"}}), 1), -52024);  // EIO
  EXPECT_EQ(companionRecord(), "1.4.0f2");
  EXPECT_EQ(update(file({{"SAFEMODE", "2.0.0f0", "s1"}, {"SAFEMODE", "2.0.0f1", "s2"}}), 1), kestrelerr_installFailed);
  // Both were tried; neither temporary file is left.
  ASSERT_EQ(sim().safeModeInstaller().installed().size(), 2u);
  for (const auto& attempt : sim().safeModeInstaller().installed()) {
    EXPECT_TRUE(attempt.file.starts_with("/tmp/safemode")) << attempt.file;
    EXPECT_NE(::access(attempt.file.c_str(), F_OK), 0) << attempt.file;
  }
}

TEST_F(FirmwareUpdate, ProfilesNameTheirFirmwareAnswers) {
  const auto profile = tProfile::fromJson(nlohmann::json::parse(R"({
    "firmware": { "BIOS": { "status": -26938 }, "SAFEMODE": { "version": "2.0.0f0", "exitStatus": 4 } } })"));
  startController("", profile);
  EXPECT_EQ(update(file({{"BIOS", "9.0.0f0", "b"}}), 0), kestrelerr_invalidImage);
  EXPECT_EQ(companionRecord(), "1.4.0f2");
  EXPECT_EQ(update(file({{"SAFEMODE", "2.0.0f1", "s"}}), 0), kestrelerr_installFailed);
  EXPECT_EQ(update(file({{"SAFEMODE", "2.0.0f0", "s"}}), 0), 0);  // not newer than what the tool prints
  for (const char* refused : {R"({"firmware": {"BIOS": {"status": "x"}}})", R"({"firmware": {"bios": {}}})",
                              R"({"firmware": {"SAFEMODE": {"exitStatus": 300}}})",
                              R"({"firmware": {"MARTEN": {"errno": 0}}})"}) {
    try {
      tProfile::fromJson(nlohmann::json::parse(refused));
      ADD_FAILURE() << refused;
    } catch (const std::invalid_argument& error) {
      EXPECT_TRUE(std::string(error.what()).starts_with("profile: firmware")) << error.what();
    }
  }
}

TEST_F(FirmwareUpdate, SafeModeImagesNeedTheVersionTool) {
  startController("");
  EXPECT_EQ(update(file({{"SAFEMODE", "9.0.0f0", "s"}}), 1), 0);
  EXPECT_TRUE(safeModeImages().empty());
  EXPECT_TRUE(sim().commands().empty());
}

TEST_F(FirmwareUpdate, ASafeModeImageThatIsNotNewerEndsTheSafeModeStep) {
  startController("3.0.0f0");
  EXPECT_EQ(update(file({{"SAFEMODE", "3.0.0f0", "same"}, {"SAFEMODE", "4.0.0f0", "newer"}}), 0), 0);
  EXPECT_TRUE(safeModeImages().empty());
  EXPECT_EQ(update(file({{"SAFEMODE", "4.0.0f0", "newer"}, {"SAFEMODE", "3.0.0f0", "same"}}), 0), 0);
  EXPECT_EQ(safeModeImages(), std::vector<std::string>{"newer"});
}

// Mended: the images of sections before a bad one are not installed either.
TEST_F(FirmwareUpdate, NothingIsInstalledFromAFileThatFailsVerification) {
  startController("1.0.0f0");
  std::string corrupt = file({{"SAFEMODE", "9.0.0f0", "s"}, {"BIOS", "9.0.0f0", "bios"}, {"MARTEN", "9.0.0f0", "m"}});
  corrupt.replace(corrupt.rfind("ByteCount::1"), 12, "ByteCount::2");
  for (std::int32_t force : {0, 1}) EXPECT_EQ(update(corrupt, force), kestrelerr_invalidImage);
  EXPECT_TRUE(biosImages().empty());
  EXPECT_TRUE(companionImages().empty());
  EXPECT_TRUE(safeModeImages().empty());
  EXPECT_TRUE(sim().commands().empty());
  EXPECT_EQ(companionRecord(), "1.4.0f2");
}

// Mended: a key is read from its own section. A BIOS section without a
// Version once took the next section's 99.0.0f0 and installed over the
// newer BIOS with force 0; a section without a TargetDevice took MARTEN.
TEST_F(FirmwareUpdate, ASectionNeverBorrowsAKeyFromTheNextOne) {
  startController("1.0.0f0");
  std::string noVersion = file({{"BIOS", "0.1.0f0", "old bios"}, {"SAFEMODE", "99.0.0f0", "s"}});
  noVersion.erase(noVersion.find("Version::0.1.0f0\r\n"), 18);
  std::string noTarget = file({{"BIOS", "9.0.0f0", "not a companion image"}, {"MARTEN", "9.0.0f0", "m"}});
  noTarget.erase(noTarget.find("TargetDevice::BIOS\r\n"), 20);
  for (const std::string& borrowing : {noVersion, noTarget}) {
    for (std::int32_t force : {0, 1}) EXPECT_EQ(update(borrowing, force), kestrelerr_invalidImage) << force;
  }
  EXPECT_TRUE(biosImages().empty());
  EXPECT_TRUE(companionImages().empty());
  EXPECT_TRUE(safeModeImages().empty());
  EXPECT_EQ(companionRecord(), "1.4.0f2");
}

// Mended: the version tool's output is read up to a bound, so a tool that
// never stops printing does not hold the update up.
TEST_F(FirmwareUpdate, EndlessVersionToolOutputIsCutOff) {
  startController("");
  sim().installTool("zesafemodeversion", "#!/bin/sh\nexec yes 2.0.0f0\n");
  EXPECT_EQ(update(file({{"SAFEMODE", "2.0.0f1", "s"}}), 0), 0);
  EXPECT_EQ(safeModeImages(), std::vector<std::string>{"s"});
}

namespace {
struct FirmwareUpdateCase : FirmwareUpdate {
  using FirmwareUpdate::update;
  static std::int32_t updateFile(const std::vector<tImage>& images, std::int32_t force) {
    return update(file(images), force);
  }
};

// The safe-mode temporary files whose bytes begin with `marker`. Tests
// running beside this one make and remove files of the same name at any
// moment, so a count of all of them says nothing; this case's own image
// carries a mark no other process writes.
std::size_t temporaryFilesStartingWith(const std::string& marker) {
  glob_t matches{};
  std::size_t count = 0;
  if (glob("/tmp/safemode??????", 0, nullptr, &matches) == 0) {
    for (std::size_t i = 0; i < matches.gl_pathc; ++i) {
      std::ifstream file(matches.gl_pathv[i], std::ios::binary);
      std::string start(marker.size(), '\0');
      if (file.read(start.data(), static_cast<std::streamsize>(start.size())) && start == marker) ++count;
    }
  }
  globfree(&matches);
  return count;
}

// Mended: an image that cannot be written whole never reaches the install
// tool, and its temporary file is removed. A file size limit cuts the
// write short, then fails it; the mark fits in what gets written.
void truncatedImageCase() {
  const std::string marker = "truncated image of process " + std::to_string(getpid()) + " ";
  std::string image = marker;
  image.resize(1000, 'x');
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{100, 100};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_EQ(FirmwareUpdateCase::updateFile({{"SAFEMODE", "2.0.0f0", image}}, 1), kestrelerr_ioError);
  EXPECT_TRUE(nKESTRELSIM::tSimulator::instance().commands().empty());
  EXPECT_EQ(temporaryFilesStartingWith(marker), 0u);
}

TEST_F(FirmwareUpdate, ATruncatedImageIsNeverInstalled) {
  IN_OWN_PROCESS({
    startController("1.0.0f0");
    truncatedImageCase();
  });
}

}  // namespace

// The companion's size answer for its version text is checked before
// anything is allocated for it: gigabytes end the update instead.
TEST_F(FirmwareUpdate, AnImplausibleCompanionVersionSizeEndsTheUpdateWithoutAnAllocation) {
  startController();
  // The first request of the update is the companion's version size question.
  sim().failRequests(nKESTREL1400::nDriverWire::kGetAttribute, 1,
                     {.record = tRecordFault::kOversized, .size = 0xF0000000u});
  sim().clearRequests();
  EXPECT_EQ(update(file({{"MARTEN", "9.0.0f0", "companion"}}), 0), brioerr_ioFailure);
  EXPECT_TRUE(companionImages().empty());
  EXPECT_EQ(sim().requests(nKESTREL1400::nDriverWire::kGetAttribute).size(), 1u);  // nothing read after the size
}
