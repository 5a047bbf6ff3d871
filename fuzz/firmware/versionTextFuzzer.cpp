// Packs fuzzer input as a version text; a text that packs to a version must
// pack the same after printing it back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "firmware/versionText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nKESTREL1400::nFirmware;
  const std::uint32_t packed = parseVersionText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (packed != 0 && parseVersionText(formatVersion(packed).text) != packed) std::abort();
  return 0;
}
