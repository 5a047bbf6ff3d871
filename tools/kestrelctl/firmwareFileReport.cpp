#include "tools/kestrelctl/firmwareFileReport.h"

#include <kestrel/kestrel_status.h>

#include <cstdio>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareSections.h"

namespace kestrelctl {
namespace {

using namespace nKESTREL1400::nFirmware;

void verifyPayload(const tSectionHeader& header, tSectionReport& section) {
  std::vector<std::uint8_t> decoded(decodeBufferSize(header.payload.size()));
  section.decodedBytes = decodeBase64(header.payload.data(), header.payload.size(), decoded.data());
  section.computedCrc = crc32Castagnoli(decoded.data(), section.decodedBytes);
  section.decoded = true;
  section.code = checkPayload(header, section.decodedBytes, section.computedCrc).code;
}

tSectionReport readSection(const tFirmwareText& text, std::size_t start) {
  tSectionHeader header;
  tSectionReport section;
  section.offset = start;
  const tFormatFailure failure = text.readHeader(start, text.sectionEnd(start), header);
  section.target = header.targetDevice;
  section.version = header.version;
  section.byteCount = header.byteCount;
  section.crc = header.crc;
  section.code = failure.code;
  if (!failure) verifyPayload(header, section);
  return section;
}

}  // namespace

bool tFileReport::acceptable() const {
  for (const auto& section : sections) {
    if (!section.verifies()) return false;
  }
  return !sections.empty();
}

std::vector<const tSectionReport*> tFileReport::installOrder() const {
  std::vector<const tSectionReport*> order;
  for (const auto& section : sections) {
    if (section.target == "BIOS") order.insert(order.begin(), &section);
  }
  for (const auto& section : sections) {
    if (section.target != "BIOS") order.push_back(&section);
  }
  return order;
}

tFileReport readUpdateFile(const std::vector<std::uint8_t>& bytes) {
  const tFirmwareText text(bytes.data(), bytes.size());
  tFileReport report;
  for (std::size_t start = text.firstSection(); start != tFirmwareText::kNoSection; start = text.nextSection(start)) {
    report.sections.push_back(readSection(text, start));
  }
  return report;
}

std::string hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

nlohmann::json toJson(const tSectionReport& section) {
  nlohmann::json object = {{"offset", section.offset},
                           {"target", section.target},
                           {"version", section.version},
                           {"byteCount", section.byteCount},
                           {"crc", hex32(section.crc)},
                           {"decodedBytes", section.decodedBytes},
                           {"computedCrc", hex32(section.computedCrc)},
                           {"verifies", section.verifies()},
                           {"error", nullptr}};
  if (!section.verifies()) {
    object["error"] = {{"code", section.code}, {"name", kestrelStatusName(section.code)}};
  }
  return object;
}

nlohmann::json toJson(const std::string& file, const tFileReport& report) {
  nlohmann::json document = {{"file", file},
                             {"acceptable", report.acceptable()},
                             {"sections", nlohmann::json::array()},
                             {"installOrder", nlohmann::json::array()}};
  for (const auto& section : report.sections) document["sections"].push_back(toJson(section));
  for (const auto* section : report.installOrder()) document["installOrder"].push_back(section->offset);
  return document;
}

std::string refusalText(const tSectionReport& section) {
  if (section.verifies()) return "";
  std::string text = std::string(kestrelStatusName(section.code)) + " (" + std::to_string(section.code) + ")";
  if (section.decoded && section.byteCount != section.decodedBytes) {
    text += ": its payload decodes to " + std::to_string(section.decodedBytes) + " bytes, ByteCount says " +
            std::to_string(section.byteCount);
  } else if (section.decoded) {
    text += ": the payload's CRC is " + hex32(section.computedCrc) + ", the header says " + hex32(section.crc);
  } else {
    text += std::string(": ") + kestrelStatusMeaning(section.code);
  }
  return text;
}

}  // namespace kestrelctl
