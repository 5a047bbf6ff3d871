// kestrelctl firmware status and update: the controller's firmware through
// the public interface.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "firmware/versionText.h"
#include "platform/statusCodeTable.h"
#include "tools/kestrelctl/firmwareCommands.h"
#include "tools/kestrelctl/firmwareFileReport.h"
#include "tools/kestrelctl/installedFirmware.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

using nKESTREL1400::nFirmware::parseVersionText;

constexpr int kFailure = 1;

void printJsonDocument(const nlohmann::json& document) {
  std::printf("%s\n", document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

std::string firmwareAdvice(std::int32_t code) {
  switch (code) {
    case kestrelerr_attributeNotSupported:
      return "The board's firmware settings do not allow updates; 'kestrelctl firmware status' shows the gate.";
    case kestrelerr_deviceNotAvailable:
      return "The board does not say whether updates are allowed, or the controller is missing.";
    case kestrelerr_invalidImage:
    case kestrelerr_unsupportedImageHeader:
      return "'kestrelctl firmware inspect FILE' shows which section is refused; nothing was installed.";
    case kestrelerr_installFailed:
      return "The safe-mode install tool failed: check that sudo lets this user run it without a password.";
    case kestrelerr_ioError:
      return "The safe-mode image could not be written to a temporary file in /tmp: check free space.";
    default:
      return adviceFor(code);
  }
}

void printUpdateFailure(std::int32_t code, bool json) {
  if (json) {
    printJsonDocument({{"ok", false}, {"code", code}, {"name", nKESTREL1400::statusCodeName(code)},
                       {"meaning", describeStatus(code)}});
  }
  std::fprintf(stderr, "kestrelctl: update the firmware: %s\n", describeStatus(code).c_str());
  const std::string advice = firmwareAdvice(code);
  if (!advice.empty()) std::fprintf(stderr, "  %s\n", advice.c_str());
}

// What an update did with each image, by the rules the library applies:
// with force every image goes; otherwise one image that is not newer holds
// back its whole target, and a safe-mode image that is not newer ends the
// safe-mode images.
std::vector<std::string> outcomes(const std::vector<const tSectionReport*>& order, const tInstalledFirmware& installed,
                                  bool force) {
  const auto notNewer = [](const tSectionReport& image, const std::string& version) {
    return parseVersionText(image.version) <= parseVersionText(version);
  };
  bool biosCurrent = false, companionCurrent = false, safeModeEnded = false;
  for (const auto* image : order) {
    biosCurrent = biosCurrent || (!force && image->target == "BIOS" && notNewer(*image, installed.bios.value));
    companionCurrent =
        companionCurrent || (!force && image->target == "MARTEN" && notNewer(*image, installed.companion.value));
  }
  std::vector<std::string> result;
  for (const auto* image : order) {
    if (image->target == "BIOS") {
      result.push_back(biosCurrent ? "skipped: a BIOS image is not newer than " + installed.bios.value : "installed");
    } else if (image->target == "MARTEN") {
      result.push_back(companionCurrent ? "skipped: a companion image is not newer than " + installed.companion.value
                                        : "installed");
    } else if (!installed.safeMode) {
      result.push_back("skipped: this system has no safe-mode tools");
    } else if (safeModeEnded || (!force && notNewer(*image, *installed.safeMode))) {
      safeModeEnded = true;
      result.push_back("skipped: not newer than " + *installed.safeMode);
    } else {
      result.push_back("installed");
    }
  }
  return result;
}

int openFailed(std::int32_t code, bool json) {
  if (json) printJsonDocument({{"ok", false}, {"code", code}, {"name", nKESTREL1400::statusCodeName(code)}});
  printFailure("open the controller", code);
  return kFailure;
}

}  // namespace

int runFirmwareStatus(const tFirmwareRequest& request) {
  tControllerClient controller;
  if (const std::int32_t code = controller.open(); code < 0) return openFailed(code, request.json);
  const auto installed = tInstalledFirmware::read(controller);
  if (request.json) {
    printJsonDocument(installed.toJson());
    return 0;
  }
  const auto shown = [](const tResult<std::string>& result) {
    return result.ok() ? result.value : std::string("n/a (") + nKESTREL1400::statusCodeName(result.code) + ")";
  };
  std::printf("BIOS version       %s\n", shown(installed.bios).c_str());
  std::printf("Companion version  %s\n", installed.companionPresent ? shown(installed.companion).c_str() : "no companion chip");
  std::printf("Safe-mode version  %s\n", installed.safeMode ? installed.safeMode->c_str() : "no safe-mode tools");
  std::printf("Updates            %s\n", !installed.updateAllowed.ok()     ? "unknown: the board does not say"
                                         : installed.updateAllowed.value == 1 ? "allowed"
                                                                              : "not allowed by the board");
  return 0;
}

int runFirmwareUpdate(const tFirmwareRequest& request) {
  const auto bytes = readWholeFile(request.file);
  if (!bytes) {
    std::fprintf(stderr, "kestrelctl: cannot read the update file %s: check the path and its permissions\n",
                 request.file.c_str());
    return kFailure;
  }
  tControllerClient controller;
  if (const std::int32_t code = controller.open(); code < 0) return openFailed(code, request.json);
  const auto installed = tInstalledFirmware::read(controller);
  const std::int32_t code =
      KESTREL_updateFirmware2(kControllerHandle, bytes->data(), bytes->size(), request.force ? 1 : 0);
  if (code < 0) {
    printUpdateFailure(code, request.json);
    return kFailure;
  }
  const tFileReport report = readUpdateFile(*bytes);
  const auto order = report.installOrder();
  const auto results = outcomes(order, installed, request.force);
  if (request.json) {
    nlohmann::json document = {{"ok", true}, {"code", code}, {"images", nlohmann::json::array()}};
    for (std::size_t i = 0; i < order.size(); ++i) {
      document["images"].push_back({{"target", order[i]->target}, {"version", order[i]->version},
                                    {"bytes", order[i]->byteCount}, {"outcome", results[i]}});
    }
    printJsonDocument(document);
    return 0;
  }
  if (order.empty()) std::printf("%s holds no firmware images: nothing installed\n", request.file.c_str());
  for (std::size_t i = 0; i < order.size(); ++i) {
    std::printf("%-9s %-12s %10u bytes  %s\n", order[i]->target.c_str(), order[i]->version.c_str(), order[i]->byteCount,
                results[i].c_str());
  }
  return 0;
}

}  // namespace kestrelctl
