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
#include "source/user/controllerSmBiosFields.h"
#include "source/user/firmwareUpdateSteps.h"
#include "source/user/smBiosPermission.h"
#include "source/user/tControllerUserSession.h"

namespace nKESTREL1400 {
namespace {

using nFirmware::parseVersionText;

constexpr kSourceLocation kGateUnreadable{kUpdateFile, 834};
constexpr kSourceLocation kGateRefuses{kUpdateFile, 838};
constexpr kSourceLocation kForceInvalid{kUpdateFile, 842};
constexpr kSourceLocation kNoCompanion{kUpdateFile, 857};

constexpr char kPlaceholderVersion[] = "0.0.0f0";

bool isTarget(const tFirmwareImage& image, const char* target) { return std::strcmp(image.targetDevice, target) == 0; }

// Whether the board lets firmware be updated at all.
bool updateGateOpen(tStatusReport& report) {
  switch (readSmBiosPermission(nControllerField::kUpdatePermission)) {
    case tPermission::given:
      return true;
    case tPermission::refused:
      setCode(report, kestrelerr_attributeNotSupported, kGateRefuses);
      return false;
    case tPermission::unreadable:
      break;
  }
  setCode(report, kestrelerr_deviceNotAvailable, kGateUnreadable);
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
    constexpr std::uint32_t kFirmwareVersion = KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION;
    if (companion &&
        !isNewer(
            *image, [&](tFetchedText& text) { return text.fetchCompanion(marten, kFirmwareVersion, report); }, stop)) {
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
    const auto outcome = saved.fetchCompanion(marten, KESTREL_ATTR_BIOS_VERSION, report);
    if (outcome == tFetchedText::tOutcome::readFailed) return false;
    recordSaved = outcome == tFetchedText::tOutcome::read && saved.bytes() != nullptr;
    if (report.code >= 0) {
      tStatus parked;
      marten.setAttribute(KESTREL_ATTR_BIOS_VERSION, kPlaceholderVersion, sizeof kPlaceholderVersion - 1, parked);
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
    marten.setAttribute(KESTREL_ATTR_BIOS_VERSION, saved.bytes(), saved.size(), restored);
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
