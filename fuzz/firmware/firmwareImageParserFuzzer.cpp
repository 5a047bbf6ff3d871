// Parses fuzzer input as a firmware update file, and checks the fast forms
// of Base64 and the checksum against their one-byte-at-a-time forms on it.
// The parser, which decodes an ordinary file in one pass, must list the
// images and report the failure that reading the file section by section
// with the format's own pieces gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareSections.h"
#include "firmware/tFirmwareImageParser.h"
#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"

using namespace nKESTREL1400;

namespace {

void checkDecoders(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<std::uint8_t> wide(nFirmware::decodeBufferSize(size));
  std::vector<std::uint8_t> narrow(nFirmware::decodeBufferSize(size));
  const std::size_t wideSize = nFirmware::decodeBase64(text, size, wide.data());
  const std::size_t narrowSize = nFirmware::decodeBase64Bytewise(text, size, narrow.data());
  if (wideSize != narrowSize || std::memcmp(wide.data(), narrow.data(), wideSize) != 0) std::abort();
  if (nFirmware::crc32Castagnoli(data, size) != ~nFirmware::crc32CastagnoliBytewise(0xFFFFFFFF, data, size)) std::abort();
}

struct tExpected {
  nFirmware::tFormatFailure failure;
  std::deque<std::string> images;  // "TARGET version bytes", in list order
};

// The file read section by section: each header, then its payload.
tExpected readSectionBySection(const std::uint8_t* data, std::size_t size) {
  tExpected expected;
  const nFirmware::tFirmwareText text(data, size);
  for (std::size_t start = text.firstSection(); start != nFirmware::tFirmwareText::kNoSection;
       start = text.nextSection(start)) {
    nFirmware::tSectionHeader header;
    expected.failure = text.readHeader(start, text.sectionEnd(start), header);
    if (expected.failure) return expected;
    std::vector<std::uint8_t> decoded(nFirmware::decodeBufferSize(header.payload.size()));
    decoded.resize(nFirmware::decodeBase64(header.payload.data(), header.payload.size(), decoded.data()));
    const std::uint32_t crc = nFirmware::crc32Castagnoli(decoded.data(), decoded.size());
    expected.failure = nFirmware::checkPayload(header, decoded.size(), crc);
    if (expected.failure) return expected;
    std::string image = std::string(header.targetDevice) + " " + std::string(header.version) + " " +
                        std::string(decoded.begin(), decoded.end());
    if (header.targetDevice == "BIOS") {
      expected.images.push_front(image);
    } else {
      expected.images.push_back(image);
    }
  }
  return expected;
}

void checkAgainstSections(const tFirmwareImageParser& parser, const tStatusReport& report, const std::uint8_t* data,
                          std::size_t size) {
  const tExpected expected = readSectionBySection(data, size);
  if (report.code == kestrelerr_memoryFull) return;
  if (report.code != expected.failure.code) std::abort();
  if (expected.failure &&
      std::strstr(reportText(report), ("\"line\":" + std::to_string(expected.failure.line) + ",").c_str()) == nullptr) {
    std::abort();
  }
  std::deque<std::string> listed;
  for (const tFirmwareImage* image = parser.first(); image != nullptr; image = image->next) {
    listed.push_back(std::string(image->targetDevice) + " " + image->version + " " +
                     std::string(reinterpret_cast<const char*>(image->data), image->size));
  }
  if (listed != expected.images) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkDecoders(data, size);
  tScopedStatusReport report;
  const tFirmwareImageParser parser(data, size, report);
  const std::int32_t code = report.code();
  if (code != 0 && code != kestrelerr_invalidImage && code != kestrelerr_unsupportedImageHeader &&
      code != kestrelerr_memoryFull) {
    std::abort();
  }
  bool otherSeen = false;
  for (const tFirmwareImage* image = parser.first(); image != nullptr; image = image->next) {
    // Every listed image verified, and BIOS images stand before the others.
    const bool bios = std::strcmp(image->targetDevice, "BIOS") == 0;
    if (bios && otherSeen) std::abort();
    otherSeen = otherSeen || !bios;
    (void)nFirmware::crc32Castagnoli(image->data, image->size);
  }
  checkAgainstSections(parser, report, data, size);
  return 0;
}
