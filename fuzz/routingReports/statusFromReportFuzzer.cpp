// The report text of a framework's status record, read into a lower-layer
// status before a terminal reset: any text, and the record's code.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "routing/statusFromReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::int32_t code = 0;
  if (size >= sizeof code) {
    std::memcpy(&code, data, sizeof code);
    data += sizeof code;
    size -= sizeof code;
  }
  std::string text(reinterpret_cast<const char*>(data), size);
  tStatusReport record{code, static_cast<std::int32_t>(text.size() + 1), nullptr, text.data()};
  nKESTREL1400::tStatus status;
  tarn::seedStatusFromReport(status, record);
  if (std::strlen(status.component) >= nKESTREL1400::tStatus::kComponentSize) __builtin_trap();
  if (std::strlen(status.file) >= nKESTREL1400::tStatus::kFileSize) __builtin_trap();
  return 0;
}
