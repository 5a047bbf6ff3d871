#include "firmware/tFirmwareImageParser.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareSections.h"
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

// Large images go into huge pages where the system offers them: a fresh
// buffer of many MiB otherwise costs a page fault every 4 KiB.
constexpr std::size_t kHugePage = 2u << 20;

void* allocateImage(std::size_t size) {
  if (size < kHugePage) return std::malloc(size);
  void* buffer = std::aligned_alloc(kHugePage, (size + kHugePage - 1) / kHugePage * kHugePage);
  if (buffer != nullptr) madvise(buffer, size, MADV_HUGEPAGE);
  return buffer;
}

void release(tFirmwareImage* image) {
  std::free(image->data);
  std::free(image->version);
  delete image;
}

// Decodes and checks one section's payload into a new image.
tFormatFailure decodeImage(const tSectionHeader& header, tFirmwareImage*& result) {
  auto* image = new (std::nothrow) tFirmwareImage;
  const auto payload = header.payload;
  auto* data = static_cast<std::uint8_t*>(allocateImage(decodeBufferSize(payload.size())));
  auto* version = static_cast<char*>(std::malloc(header.version.size() + 1));
  if (image == nullptr || data == nullptr || version == nullptr) {
    std::free(data);
    std::free(version);
    delete image;
    return kNoMemory;
  }
  *image = tFirmwareImage{data, header.byteCount, targetName(header.targetDevice), version, nullptr};
  std::memcpy(version, header.version.data(), header.version.size());
  version[header.version.size()] = '\0';
  const std::size_t decoded = decodeBase64(payload.data(), payload.size(), data);
  const tFormatFailure failure = checkPayload(header, decoded, decoded == header.byteCount ? crc32Castagnoli(data, decoded) : 0);
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
  const tFirmwareText text(data, length);
  for (std::size_t start = text.firstSection(); start != tFirmwareText::kNoSection;) {
    const std::size_t next = text.nextSection(start);
    tSectionHeader header;
    tFirmwareImage* image = nullptr;
    tFormatFailure failure = text.readHeader(start, next == tFirmwareText::kNoSection ? text.text().size() : next, header);
    if (!failure) failure = decodeImage(header, image);
    if (failure) {
      setCode(report, failure.code, kSourceLocation{kParserFile, failure.line});
      return;
    }
    add(image);
    start = next;
  }
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
