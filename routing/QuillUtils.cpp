#include "routing/QuillUtils.h"

#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"

namespace tarn::QuillUtils {
namespace {

[[noreturn]] void raiseNotSupported(std::uint32_t line) {
  zeerr::Exception exception;
  nKESTREL1400::setCode(exception.statusReport(), brioerr_notSupported, {"QuillUtils", line}, "not supported");
  throw exception;
}

}  // namespace

void getHandledConstraints(TarnRoutingAdaptorSession&, char**) { raiseNotSupported(20); }

std::uint32_t calculateRoute(TarnRoutingAdaptorSession&, const char*, const char*, const char*, char**) {
  raiseNotSupported(23);
}

void getRouteTerminalPath(TarnRoutingAdaptorSession&, std::uint32_t, char**) { raiseNotSupported(27); }

}  // namespace tarn::QuillUtils
