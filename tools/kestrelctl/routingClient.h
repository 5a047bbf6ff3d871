// The trigger router as kestrelctl sees it: a session of the routing
// adaptor, opened on the router's device path the library reports, driven
// through the same functions the routing framework uses.
#pragma once

#include <kestrel/quill_ra_kestrel.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/statusMessage.h"
#include "tools/quillhost/tFrameworkStatus.h"
#include "tools/quillhost/tQuillAdaptor.h"

namespace kestrelctl {

// The adaptor functions of the linked library.
const quillhost::tQuillFunctions& linkedAdaptor();

class tRoutingClient {
 public:
  tRoutingClient() = default;
  ~tRoutingClient();
  tRoutingClient(const tRoutingClient&) = delete;
  tRoutingClient& operator=(const tRoutingClient&) = delete;

  // Finds the trigger router and opens a session on it, with an optional
  // demotion callback. False after reporting what failed.
  bool open(tQuillDemotionFunction demotion = nullptr, void* context = nullptr);

  const quillhost::tQuillFunctions& adaptor() const { return linkedAdaptor(); }
  quill_ra_kestrel_session* session() const { return session_; }
  const std::string& devicePath() const { return devicePath_; }

 private:
  quill_ra_kestrel_session* session_ = nullptr;
  std::string devicePath_;
};

// The problem of a failed routing call: the code's name and meaning (or
// `meaning` where the call knows better), the adaptor's report under
// "report", and its own explanation ("quill_debug", "tarn_debug") in the
// message.
tProblem routingProblem(const std::string& what, const quillhost::tFrameworkStatus& status,
                        const std::string& advice = "", const std::string& meaning = "");

// Reports a failed routing call. Returns kFailure.
int printRoutingFailure(const std::string& what, const quillhost::tFrameworkStatus& status,
                        const std::string& advice = "", const std::string& meaning = "");

}  // namespace kestrelctl
