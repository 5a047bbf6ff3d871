// Base of the simulated driver's device models: one model per device
// interface instance, answering its requests with state of its own.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "sim/models/iDriverEvents.h"
#include "sim/models/tDriverRequest.h"

namespace nKESTRELSIM {

class tDriverModel {
 public:
  virtual ~tDriverModel() = default;
  // Answers one request: fills request.output (its last field is the
  // driver's status) or sets request.error. Unknown codes fail with ENOTTY.
  virtual void handle(tDriverRequest& request, iDriverEvents& events) = 0;
  // The last descriptor of an open device file was closed (or its process
  // ended): what the driver kept for that file goes with it.
  virtual void released(std::uint64_t opener, iDriverEvents& events) {
    (void)opener;
    (void)events;
  }
  // A model that acts on its own (a watchdog that expires, scripted
  // demotions) tells when it acts next; the driver calls actIfDue once that
  // moment has come.
  virtual std::optional<std::chrono::steady_clock::time_point> deadline() const { return std::nullopt; }
  virtual void actIfDue(iDriverEvents& events) { (void)events; }
  // The device interface this model serves, e.g. "hostController_hostController".
  virtual std::string interfaceName() const = 0;
};

}  // namespace nKESTRELSIM
