// Firmware update of the controller session: the update gate, the version
// pass, the BIOS and companion images through the driver (with the
// companion's record of the BIOS version parked meanwhile), then the
// safe-mode images through the external tools.
#include <cstring>

#include "firmware/tFirmwareImageParser.h"
#include "firmware/versionText.h"
#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/firmwareUpdateSteps.h"
#include "source/user/tControllerUserSession.h"

namespace nKESTREL1400 {
namespace {

using nFirmware::parseVersionText;

constexpr kSourceLocation kGateUnreadable{kUpdateFile, 834};
constexpr kSourceLocation kGateRefuses{kUpdateFile, 838};
constexpr kSourceLocation kForceInvalid{kUpdateFile, 842};
constexpr kSourceLocation kNoCompanion{kUpdateFile, 857};

constexpr std::uint32_t kUpdatePermission = 0x19E04;  // type 158, offset 04h
constexpr std::uint32_t kUpdateLevel = 0x19E05;       // type 158, offset 05h
constexpr std::uint32_t kCompanionFirmwareVersion = 0x10200400;
constexpr std::uint32_t kCompanionBiosRecord = 0x10000400;
constexpr char kPlaceholderVersion[] = "0.0.0f0";

bool isTarget(const tFirmwareImage& image, const char* target) { return std::strcmp(image.targetDevice, target) == 0; }

// Whether the board lets firmware be updated at all.
bool updateGateOpen(tStatusReport& report) {
  std::uint8_t permission = 0;
  std::uint8_t level = 0;
  if (nZESMBIOS_1_1::smBiosReadByte(kUpdatePermission, 0, &permission) != 0 ||
      nZESMBIOS_1_1::smBiosReadByte(kUpdateLevel, 0, &level) != 0) {
    setCode(report, kestrelerr_deviceNotAvailable, kGateUnreadable);
    return false;
  }
  if (permission != 0 && level <= 1) return true;
  setCode(report, kestrelerr_attributeNotSupported, kGateRefuses);
  return false;
}

// Which targets' images are not newer than what is installed: all images
// of such a target are left alone.
struct tCurrentTargets {
  bool bios = false;
  bool marten = false;
};

// Whether `image` is newer than the installed version `fetch` reads; false
// with `stop` when the read fails past its size question.
template <typename tFetch>
bool isNewer(const tFirmwareImage& image, tFetch fetch, bool& stop) {
  tFetchedText installed;
  const auto outcome = fetch(installed);
  stop = outcome == tFetchedText::tOutcome::readFailed;
  return parseVersionText(image.version) > parseVersionText(installed.text());
}

// The version pass: which targets are current. False when the update ends
// here (a MARTEN image without the companion chip, a failed version read).
bool findCurrentTargets(const tFirmwareImage* images, std::int32_t force, tInterfaceProxy_hostMarten& marten,
                        tCurrentTargets& current, tStatusReport& report) {
  for (const tFirmwareImage* image = images; image != nullptr && report.code >= 0; image = image->next) {
    const bool bios = isTarget(*image, "BIOS");
    const bool companion = isTarget(*image, "MARTEN");
    if (companion && !marten.isOpen()) {
      setCode(report, kestrelerr_invalidImage, kNoCompanion);
      return false;
    }
    if (force != 0 || (!bios && !companion)) continue;
    bool stop = false;
    if (bios && !isNewer(*image, [&](tFetchedText& text) { return text.fetchBiosVersion(report); }, stop)) {
      current.bios = true;
    }
    if (companion && !isNewer(*image, [&](tFetchedText& text) {
          return text.fetchCompanion(marten, kCompanionFirmwareVersion, report);
        }, stop)) {
      current.marten = true;
    }
    if (stop) return false;
  }
  return true;
}

// The hardware step; false when the companion's record cannot be read.
bool installDriverImages(const tFirmwareImage* images, const tCurrentTargets& current,
                         tInterfaceProxy_hostController& controller, tInterfaceProxy_hostMarten& marten,
                         tStatusReport& report) {
  tFetchedText saved;
  bool recordSaved = false;
  if (marten.isOpen()) {
    const auto outcome = saved.fetchCompanion(marten, kCompanionBiosRecord, report);
    if (outcome == tFetchedText::tOutcome::readFailed) return false;
    recordSaved = outcome == tFetchedText::tOutcome::read && saved.bytes() != nullptr;
    if (report.code >= 0) {
      tStatus parked;
      marten.setAttribute(kCompanionBiosRecord, kPlaceholderVersion, sizeof kPlaceholderVersion - 1, parked);
      parked.copyToReport(report);
    }
  }
  for (const tFirmwareImage* image = images; image != nullptr && report.code >= 0; image = image->next) {
    tStatus sent;
    if (isTarget(*image, "BIOS") && !current.bios) {
      controller.updateFirmware(image->data, image->size, sent);
    } else if (isTarget(*image, "MARTEN") && !current.marten) {
      marten.updateFirmware(image->data, image->size, sent);
    }
    sent.copyToReport(report);
  }
  if (marten.isOpen() && report.code < 0 && recordSaved) {
    tStatus restored;  // best effort: the update's own failure is what counts
    marten.setAttribute(kCompanionBiosRecord, saved.bytes(), saved.size(), restored);
  }
  return true;
}

}  // namespace

void tControllerUserSession::updateFirmware(const std::uint8_t* data, std::uint64_t length, std::int32_t force,
                                            tStatusReport& report) noexcept {
  if (report.code < 0 || !updateGateOpen(report)) return;
  if (static_cast<std::uint32_t>(force) > 1) {
    setCode(report, kestrelerr_stringTooLong, kForceInvalid);
    return;
  }
  const tFirmwareImageParser parser(data, length, report);
  // Nothing of a file that failed verification is installed, safe mode
  // included: images before the bad section are as suspect as the rest.
  if (report.code < 0) return;
  tCurrentTargets current;
  if (!parser.empty() && !findCurrentTargets(parser.first(), force, martenProxy_, current, report)) return;
  if (report.code >= 0 && !(current.bios && current.marten) &&
      !installDriverImages(parser.first(), current, hostControllerProxy_, martenProxy_, report)) {
    return;
  }
  tStatus safeMode;
  installSafeModeImages(parser.first(), force, safeMode);
  if (report.code >= 0) safeMode.copyToReport(report);
}

}  // namespace nKESTREL1400
