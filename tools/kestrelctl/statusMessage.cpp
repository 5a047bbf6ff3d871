#include "tools/kestrelctl/statusMessage.h"

#include <kestrel/kestrel.h>

#include <cstdio>

#include "platform/statusCodeTable.h"

namespace kestrelctl {

std::string describeStatus(std::int32_t code) {
  const auto* entry = nKESTREL1400::findStatusCode(code);
  if (entry == nullptr) return "status " + std::to_string(code) + " (a code of the device or its driver)";
  return std::string(entry->name) + " (" + std::to_string(code) + "): " + entry->meaning;
}

std::string adviceFor(std::int32_t code) {
  switch (code) {
    case kestrelerr_deviceNotAvailable:
      return "The controller's device interfaces are missing or the board is not a supported controller: is the "
             "kernel driver loaded? Without hardware, run the command under the simulated controller: "
             "kestrel-sim -- kestrelctl ...";
    case kestrelerr_attributeNotSupported:
      return "The board does not offer this attribute or index; 'kestrelctl list' shows the attributes.";
    case kestrelerr_stringTooLong:
      return "Texts are at most 255 bytes.";
    default:
      return "";
  }
}

void printFailure(const std::string& what, std::int32_t code) {
  std::fprintf(stderr, "kestrelctl: %s: %s\n", what.c_str(), describeStatus(code).c_str());
  const std::string advice = adviceFor(code);
  if (!advice.empty()) std::fprintf(stderr, "  %s\n", advice.c_str());
}

}  // namespace kestrelctl
