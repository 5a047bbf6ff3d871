#include "tools/kestrelctl/routingClient.h"

#include <kestrel/kestrel.h>

#include "tools/kestrelctl/controllerClient.h"
#include "tools/kestrelctl/output.h"

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

// The adaptor's own words about the failure, when its report has them.
std::string debugText(const nlohmann::json& report) {
  for (const char* key : {"quill_debug", "tarn_debug"}) {
    if (!report.is_object() || !report.contains(key)) continue;
    const nlohmann::json& debug = report.at(key);
    return debug.is_string() ? debug.get<std::string>() : debug.dump();
  }
  return "";
}

std::string routerAdvice(const quillhost::tFrameworkStatus& status) {
  if (const std::string advice = adviceFor(status.code()); !advice.empty()) return advice;
  if (status.code() == kestrelerr_deviceNotAvailable || status.code() == brioerr_deviceNotFound) return kRouterAdvice;
  if (status.code() == zepalerr_badSelector && status.text().find("Topography not found") != std::string::npos) {
    return "The trigger router reports a topography this library does not know: is the library older than the "
           "driver?";
  }
  return "";
}

}  // namespace

const quillhost::tQuillFunctions& linkedAdaptor() {
  static const quillhost::tQuillFunctions functions = makeLinkedAdaptor();
  return functions;
}

tRoutingClient::~tRoutingClient() { linkedAdaptor().destroySession(session_); }

bool tRoutingClient::open(tQuillDemotionFunction demotion, void* context) {
  const auto path = tControllerClient().readText(kTriggerRouterPathAttribute);
  quillhost::tFrameworkStatus status;
  if (!path.ok()) {
    status.get()->code = path.code;
    printRoutingFailure("find the trigger router", status, routerAdvice(status));
    return false;
  }
  devicePath_ = path.value;
  session_ = linkedAdaptor().createSessionWithDemotionFunc(devicePath_.c_str(), &quillhost::answerAllocator, demotion,
                                                           context, status);
  if (session_ == nullptr) {
    printRoutingFailure("open a routing session on " + devicePath_, status, routerAdvice(status));
    return false;
  }
  return true;
}

tProblem routingProblem(const std::string& what, const quillhost::tFrameworkStatus& status,
                        const std::string& advice, const std::string& meaning) {
  tProblem problem = statusProblem(what, status.code(), advice, meaning);
  const nlohmann::json report = reportJson(status.text());
  if (const std::string debug = debugText(report); !debug.empty()) problem.message += " (" + debug + ")";
  problem.extra["report"] = report;
  return problem;
}

int printRoutingFailure(const std::string& what, const quillhost::tFrameworkStatus& status, const std::string& advice,
                        const std::string& meaning) {
  return report(routingProblem(what, status, advice, meaning), kFailure);
}

}  // namespace kestrelctl
