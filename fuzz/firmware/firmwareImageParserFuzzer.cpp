// Parses fuzzer input as a firmware update file, and checks the fast forms
// of Base64 and the checksum against their one-byte-at-a-time forms on it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
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
  return 0;
}
