// kestrelctl firmware inspect and pack: update files without a controller.
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "firmware/firmwareFileWriter.h"
#include "firmware/versionText.h"
#include "platform/statusCodeTable.h"
#include "tools/kestrelctl/firmwareCommands.h"
#include "tools/kestrelctl/firmwareFileReport.h"

namespace kestrelctl {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

void printJsonDocument(const nlohmann::json& document) {
  std::printf("%s\n", document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

void printSection(const tSectionReport& section) {
  std::printf("  %-8zu %-9s %-12s %10u  %s  %s\n", section.offset, section.target.c_str(), section.version.c_str(),
              section.byteCount, hex32(section.crc).c_str(),
              section.verifies() ? "verifies" : nKESTREL1400::statusCodeName(section.code));
}

void explainRefusal(const tSectionReport& section) {
  if (section.verifies()) return;
  std::fprintf(stderr, "kestrelctl: the section at byte %zu is refused: %s (%d)", section.offset,
               nKESTREL1400::statusCodeName(section.code), section.code);
  if (section.decoded && section.byteCount != section.decodedBytes) {
    std::fprintf(stderr, "; its payload decodes to %llu bytes, ByteCount says %u",
                 static_cast<unsigned long long>(section.decodedBytes), section.byteCount);
  } else if (section.decoded) {
    std::fprintf(stderr, "; the payload's CRC is %s, the header says %s", hex32(section.computedCrc).c_str(),
                 hex32(section.crc).c_str());
  }
  std::fprintf(stderr, "\n");
}

std::optional<std::vector<std::uint8_t>> readInput(const std::string& path, const char* what) {
  auto bytes = readWholeFile(path);
  if (!bytes) std::fprintf(stderr, "kestrelctl: cannot read the %s %s: check the path and its permissions\n", what, path.c_str());
  return bytes;
}

}  // namespace

int runFirmwareInspect(const tFirmwareRequest& request) {
  const auto bytes = readInput(request.file, "update file");
  if (!bytes) return kFailure;
  const tFileReport report = readUpdateFile(*bytes);
  const bool acceptable = report.acceptable() && !report.sections.empty();
  if (request.json) {
    nlohmann::json document = {{"file", request.file}, {"acceptable", acceptable}, {"sections", nlohmann::json::array()},
                               {"installOrder", nlohmann::json::array()}};
    for (const auto& section : report.sections) document["sections"].push_back(toJson(section));
    for (const auto* section : report.installOrder()) document["installOrder"].push_back(section->offset);
    printJsonDocument(document);
  } else {
    std::printf("%s: %zu section(s)\n  %-8s %-9s %-12s %10s  %-10s  %s\n", request.file.c_str(), report.sections.size(),
                "offset", "target", "version", "bytes", "CRC", "check");
    for (const auto& section : report.sections) printSection(section);
  }
  for (const auto& section : report.sections) explainRefusal(section);
  if (report.sections.empty()) {
    std::fprintf(stderr, "kestrelctl: %s holds no firmware section (no \"HeaderVersion::\" line): an update with it "
                         "installs nothing\n", request.file.c_str());
  }
  return acceptable ? 0 : kFailure;
}

int runFirmwarePack(const tFirmwareRequest& request) {
  if (nKESTREL1400::nFirmware::parseVersionText(request.version) == 0) {
    std::fprintf(stderr, "kestrelctl: '%s' is not a firmware version such as 1.5.0f2 (major.minor.update, a phase "
                         "letter d, a, b or f, and a build number)\n", request.version.c_str());
    return kUsage;
  }
  std::vector<std::vector<std::uint8_t>> contents;
  for (const auto& path : request.images) {
    auto bytes = readInput(path, "image");
    if (!bytes) return kFailure;
    if (bytes->size() > UINT32_MAX) {
      std::fprintf(stderr, "kestrelctl: the image %s is larger than 4 GiB, which an update file cannot carry\n", path.c_str());
      return kFailure;
    }
    contents.push_back(std::move(*bytes));
  }
  std::vector<nKESTREL1400::nFirmware::tPackedImage> images;
  for (const auto& bytes : contents) images.push_back({request.target, request.version, bytes});
  const std::string file = nKESTREL1400::nFirmware::packFirmwareFile(images);
  std::ofstream output(request.file, std::ios::binary | std::ios::trunc);
  output.write(file.data(), static_cast<std::streamsize>(file.size()));
  output.close();
  if (!output) {
    std::fprintf(stderr, "kestrelctl: cannot write %s: check the directory and free space\n", request.file.c_str());
    return kFailure;
  }
  const tFileReport report = readUpdateFile({file.begin(), file.end()});
  if (request.json) {
    nlohmann::json document = {{"file", request.file}, {"sections", nlohmann::json::array()}};
    for (const auto& section : report.sections) document["sections"].push_back(toJson(section));
    printJsonDocument(document);
  } else {
    std::printf("%s: %zu %s image(s), version %s\n", request.file.c_str(), images.size(), request.target.c_str(),
                request.version.c_str());
    for (const auto& section : report.sections) printSection(section);
  }
  return 0;
}

}  // namespace kestrelctl
