// kestrelctl firmware status and update: the controller's firmware through
// the public interface.
#include <kestrel/kestrel_status.h>

#include <cstdio>

#include <nlohmann/json.hpp>

#include "firmware/versionText.h"
#include "tools/kestrelctl/firmwareCommands.h"
#include "tools/kestrelctl/firmwareFileReport.h"
#include "tools/kestrelctl/installedFirmware.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

using nKESTREL1400::nFirmware::parseVersionText;

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

bool carries(const std::vector<const tSectionReport*>& order, const char* target) {
  for (const auto* image : order) {
    if (image->target == target) return true;
  }
  return false;
}

// The library refuses a companion image on a board without the companion
// chip with the code it uses for malformed images: say which it was.
int updateFailed(std::int32_t code, const tFileReport& verdict, const tInstalledFirmware& installed) {
  const std::string what = "update the firmware";
  if (code == kestrelerr_invalidImage && !installed.companionPresent && carries(verdict.installOrder(), "MARTEN")) {
    tProblem problem = statusProblem(what, code, "", "the file carries a MARTEN image, and this controller has no "
                                                     "companion chip to take it");
    problem.hint = "Nothing was installed. Pack the other images into a file of their own.";
    return report(problem, kFailure);
  }
  return printFailure(what, code, firmwareAdvice(code));
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

void printUpdate(const std::vector<const tSectionReport*>& order, const std::vector<std::string>& results,
                 std::int32_t code) {
  if (outputOptions().json) {
    nlohmann::json document = {{"ok", true}, {"code", code}, {"images", nlohmann::json::array()}};
    for (std::size_t i = 0; i < order.size(); ++i) {
      document["images"].push_back({{"target", order[i]->target}, {"version", order[i]->version},
                                    {"bytes", order[i]->byteCount}, {"outcome", results[i]}});
    }
    setJsonResult(document);
    return;
  }
  tTableText table({"TARGET", "VERSION", "BYTES", "OUTCOME"});
  for (std::size_t i = 0; i < order.size(); ++i) {
    table.addRow({order[i]->target, order[i]->version, std::to_string(order[i]->byteCount), results[i]});
  }
  table.print(outputOptions().headings);
}

}  // namespace

int runFirmwareStatus(const tFirmwareRequest&) {
  tControllerClient controller;
  if (const std::int32_t code = controller.open(); code < 0) return printFailure("open the controller", code);
  const auto installed = tInstalledFirmware::read(controller);
  if (outputOptions().json) {
    setJsonResult(installed.toJson());
  } else {
    installed.print();
  }
  return kSuccess;
}

int runFirmwareUpdate(const tFirmwareRequest& request) {
  const auto text = readUpdateFileText(request.file, "update the firmware");
  if (!text) return kFailure;
  const tFileReport verdict = readUpdateFile(text->bytes);
  // The library installs nothing from a file without sections and calls
  // that a success; kestrelctl gives the verdict 'inspect' gives.
  if (verdict.sections.empty()) return refuseUpdateFile("update the firmware", request.file, *text, verdict);
  tControllerClient controller;
  if (const std::int32_t code = controller.open(); code < 0) return printFailure("open the controller", code);
  const auto installed = tInstalledFirmware::read(controller);
  const std::int32_t code =
      KESTREL_updateFirmware2(kControllerHandle, text->bytes.data(), text->bytes.size(), request.force ? 1 : 0);
  const bool refusedFile = code == kestrelerr_invalidImage || code == kestrelerr_unsupportedImageHeader;
  if (refusedFile && !verdict.acceptable()) return refuseUpdateFile("update the firmware", request.file, *text, verdict);
  if (code < 0) return updateFailed(code, verdict, installed);
  const auto order = verdict.installOrder();
  printUpdate(order, outcomes(order, installed, request.force), code);
  return kSuccess;
}

}  // namespace kestrelctl
