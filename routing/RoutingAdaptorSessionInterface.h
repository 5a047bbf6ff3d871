// The routing framework's view of an adaptor session. Every operation but
// the destructor is pure; failures are raised as zeerr::Exception.
#pragma once

#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"

namespace quill {

class TerminalIteratorInterface;

class RoutingAdaptorSessionInterface {
 public:
  virtual ~RoutingAdaptorSessionInterface() = default;

  virtual void getHandledConstraints(char** answer) = 0;
  virtual std::uint32_t calculateRoute(const char* seeds, const char* destinations, const char* modifiers,
                                       char** answer) = 0;
  virtual void reserveRoute(std::uint32_t ticket, char** conflicts) = 0;
  virtual void programRoute(std::uint32_t ticket) = 0;
  virtual void unprogramRoute(std::uint32_t ticket) = 0;
  virtual void unreserveRoute(std::uint32_t ticket) = 0;
  virtual void beginExceptionalRouteDestruction(std::uint32_t ticket) = 0;
  virtual void destroyRoute(std::uint32_t ticket) = 0;
  virtual void getRouteTerminalPath(std::uint32_t ticket, char** answer) = 0;
  virtual TerminalIteratorInterface* getAllTerminals(tStatusReport* status) = 0;
  virtual std::uint32_t calculateResetTerminal(TerminalIteratorInterface* iterator, const char* mode) = 0;

 protected:
  RoutingAdaptorSessionInterface() = default;
  RoutingAdaptorSessionInterface(const RoutingAdaptorSessionInterface&) = delete;
  RoutingAdaptorSessionInterface& operator=(const RoutingAdaptorSessionInterface&) = delete;
};

}  // namespace quill
