#include "firmware/tFirmwareImageParser.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareSections.h"
#include "firmware/tFirmwareFileScan.h"
#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"

namespace nKESTREL1400 {
namespace {

using namespace nFirmware;

constexpr tFormatFailure kNoMemory{kestrelerr_memoryFull, 230};

constexpr const char* kTargetNames[] = {"BIOS", "MARTEN", "SAFEMODE"};

const char* targetName(std::string_view target) {
  for (const char* name : kTargetNames) {
    if (target == name) return name;
  }
  return "";
}

void release(tFirmwareImage* image) {
  std::free(image->data);
  std::free(image->version);
  delete image;
}

// An image for the section, its payload still to come; null when memory is
// short.
tFirmwareImage* newImage(const tSectionHeader& header) {
  auto* image = new (std::nothrow) tFirmwareImage;
  auto* version = static_cast<char*>(std::malloc(header.version.size() + 1));
  if (image == nullptr || version == nullptr) {
    std::free(version);
    delete image;
    return nullptr;
  }
  *image = tFirmwareImage{nullptr, header.byteCount, targetName(header.targetDevice), version, nullptr};
  std::memcpy(version, header.version.data(), header.version.size());
  version[header.version.size()] = '\0';
  return image;
}

// The checksum only where the length is right, as verification goes.
tFormatFailure checkDecoded(const tSectionHeader& header, const std::uint8_t* data, std::size_t decoded) {
  return checkPayload(header, decoded, decoded == header.byteCount ? crc32Castagnoli(data, decoded) : 0);
}

// Decodes and checks one section's payload into a new image.
tFormatFailure decodeImage(const tSectionHeader& header, tFirmwareImage*& result) {
  tFirmwareImage* image = newImage(header);
  auto* data = static_cast<std::uint8_t*>(allocateImage(decodeBufferSize(header.payload.size())));
  if (image == nullptr || data == nullptr) {
    std::free(data);
    if (image != nullptr) release(image);
    return kNoMemory;
  }
  image->data = data;
  const tFormatFailure failure = checkDecoded(header, data, decodeBase64(header.payload.data(), header.payload.size(), data));
  if (failure) {
    release(image);
    return failure;
  }
  result = image;
  return {};
}

}  // namespace

tFirmwareImageParser::tFirmwareImageParser(const std::uint8_t* data, std::uint64_t length,
                                           tStatusReport& report) noexcept {
  if (report.code < 0) return;
  tFirmwareFileScan scan(data, length);
  const tFormatFailure failure = scan.ok() ? addScanned(scan) : addSectionBySection(data, length);
  if (failure) setCode(report, failure.code, kSourceLocation{kParserFile, failure.line});
}

// The payloads are decoded already; each section is judged in file order
// as addSectionBySection judges it, and its payload handed to its image.
tFormatFailure tFirmwareImageParser::addScanned(tFirmwareFileScan& scan) noexcept {
  const tFirmwareText text(scan.text(), scan.quotes());
  for (std::size_t i = 0; i < scan.sectionCount(); ++i) {
    const tFirmwareFileScan::tSection& section = scan.section(i);
    tSectionHeader header;
    tFormatFailure failure = text.readHeader(section.start, section.end, header);
    if (failure) return failure;
    tFirmwareImage* image = newImage(header);
    if (image == nullptr) return kNoMemory;
    failure = checkDecoded(header, section.data, section.decoded);
    if (failure) {
      release(image);
      return failure;
    }
    image->data = scan.take(i);
    add(image);
  }
  return {};
}

tFormatFailure tFirmwareImageParser::addSectionBySection(const std::uint8_t* data, std::uint64_t length) noexcept {
  const tFirmwareText text(data, length);
  for (std::size_t start = text.firstSection(); start != tFirmwareText::kNoSection;) {
    const std::size_t next = text.nextSection(start);
    tSectionHeader header;
    tFirmwareImage* image = nullptr;
    tFormatFailure failure =
        text.readHeader(start, next == tFirmwareText::kNoSection ? text.text().size() : next, header);
    if (!failure) failure = decodeImage(header, image);
    if (failure) return failure;
    add(image);
    start = next;
  }
  return {};
}

tFirmwareImageParser::~tFirmwareImageParser() {
  while (first_ != nullptr) {
    tFirmwareImage* next = first_->next;
    release(first_);
    first_ = next;
  }
}

void tFirmwareImageParser::add(tFirmwareImage* image) noexcept {
  if (std::strcmp(image->targetDevice, "BIOS") == 0) {
    image->next = first_;
    first_ = image;
    if (last_ == nullptr) last_ = image;
    return;
  }
  if (last_ == nullptr) {
    first_ = image;
  } else {
    last_->next = image;
  }
  last_ = image;
}

}  // namespace nKESTREL1400
