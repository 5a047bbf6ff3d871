#include "tools/kestrelctl/routingClient.h"

#include <kestrel/kestrel.h>

#include <cstdio>

#include "platform/statusCodeTable.h"
#include "tools/kestrelctl/controllerClient.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

constexpr const char* kRouterAdvice =
    "Is the kernel driver loaded and does this machine have the controller's trigger router? Without hardware, run "
    "the command under the simulated controller: kestrel-sim -- kestrelctl terminals";

quillhost::tQuillFunctions makeLinkedAdaptor() {
  quillhost::tQuillFunctions functions;
#define KESTRELCTL_LINK(name) functions.name = &quill_ra_kestrel_##name;
  QUILLHOST_ADAPTOR_FUNCTIONS(KESTRELCTL_LINK)
#undef KESTRELCTL_LINK
  return functions;
}

// The report text as JSON when it parses, else as a string.
nlohmann::json reportJson(const std::string& text) {
  if (text.empty()) return nlohmann::json::object();
  auto parsed = nlohmann::json::parse(text, nullptr, false);
  return parsed.is_discarded() ? nlohmann::json(text) : parsed;
}

}  // namespace

const quillhost::tQuillFunctions& linkedAdaptor() {
  static const quillhost::tQuillFunctions functions = makeLinkedAdaptor();
  return functions;
}

tRoutingClient::~tRoutingClient() { linkedAdaptor().destroySession(session_); }

bool tRoutingClient::open(bool json, tQuillDemotionFunction demotion, void* context) {
  const auto path = tControllerClient().readText(kTriggerRouterPathAttribute);
  quillhost::tFrameworkStatus status;
  if (!path.ok()) {
    status.get()->code = path.code;
    printRoutingFailure("find the trigger router", status, json);
    return false;
  }
  devicePath_ = path.value;
  session_ = linkedAdaptor().createSessionWithDemotionFunc(devicePath_.c_str(), &quillhost::answerAllocator, demotion,
                                                           context, status);
  if (session_ == nullptr) {
    printRoutingFailure("open a routing session on " + devicePath_, status, json);
    return false;
  }
  return true;
}

nlohmann::json statusJson(const quillhost::tFrameworkStatus& status) {
  const auto* entry = nKESTREL1400::findStatusCode(status.code());
  return {{"code", status.code()},
          {"name", entry != nullptr ? nlohmann::json(entry->name) : nlohmann::json()},
          {"report", reportJson(status.text())}};
}

void printRoutingFailure(const std::string& what, const quillhost::tFrameworkStatus& status, bool json,
                         const nlohmann::json& extra) {
  if (json) {
    nlohmann::json error = statusJson(status);
    error["operation"] = what;
    nlohmann::json document = extra;
    document["error"] = error;
    std::printf("%s\n", document.dump().c_str());
    return;
  }
  std::fprintf(stderr, "kestrelctl: %s: %s\n", what.c_str(), describeStatus(status.code()).c_str());
  if (!status.text().empty()) std::fprintf(stderr, "  report: %s\n", status.text().c_str());
  const std::string advice = adviceFor(status.code());
  if (!advice.empty()) {
    std::fprintf(stderr, "  %s\n", advice.c_str());
  } else if (status.code() == kestrelerr_deviceNotAvailable || status.code() == brioerr_deviceNotFound) {
    std::fprintf(stderr, "  %s\n", kRouterAdvice);
  } else if (status.code() == zepalerr_badSelector && status.text().find("Topography not found") != std::string::npos) {
    std::fprintf(stderr, "  The trigger router reports a topography this library does not know: is the library older "
                         "than the driver?\n");
  }
}

}  // namespace kestrelctl
