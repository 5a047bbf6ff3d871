// The trigger router as kestrelctl sees it: a session of the routing
// adaptor, opened on the router's device path the library reports, driven
// through the same functions the routing framework uses.
#pragma once

#include <kestrel/quill_ra_kestrel.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

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
  // demotion callback. False after reporting what failed (as JSON on
  // standard output with `json`, else on standard error).
  bool open(bool json, tQuillDemotionFunction demotion = nullptr, void* context = nullptr);

  const quillhost::tQuillFunctions& adaptor() const { return linkedAdaptor(); }
  quill_ra_kestrel_session* session() const { return session_; }
  const std::string& devicePath() const { return devicePath_; }

 private:
  quill_ra_kestrel_session* session_ = nullptr;
  std::string devicePath_;
};

// "kestrelctl: <what>: <code, name and meaning>", the report and advice on
// standard error; with `json` the same as {"error": {...}} on standard
// output, with the members of `extra` beside "error".
void printRoutingFailure(const std::string& what, const quillhost::tFrameworkStatus& status, bool json,
                         const nlohmann::json& extra = nlohmann::json::object());

// The status as JSON: code, name and the report's members.
nlohmann::json statusJson(const quillhost::tFrameworkStatus& status);

}  // namespace kestrelctl
