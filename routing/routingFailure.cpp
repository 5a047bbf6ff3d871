#include "routing/routingFailure.h"

#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"

namespace tarn {

void reportFailure(tStatusReport& record, std::int32_t code, const nKESTREL1400::kSourceLocation& location,
                   const char* errorConstant, const char* debugText) noexcept {
  if (!nKESTREL1400::setCode(record, code, location, errorConstant) || debugText == nullptr) return;
  const jsonz_growHandler grow = nKESTREL1400::reportGrowHandler(record);
  const auto reserve = static_cast<std::int32_t>(jsonz_escapedLength(debugText) + 16);
  jsonz_addString(nKESTREL1400::reserveReportSpace(record, reserve), "tarn_debug", debugText, grow);
}

void raiseFailure(std::int32_t code, const nKESTREL1400::kSourceLocation& location, const char* errorConstant,
                  const char* debugText) {
  zeerr::Exception exception;
  reportFailure(exception.statusReport(), code, location, errorConstant, debugText);
  throw exception;
}

}  // namespace tarn
