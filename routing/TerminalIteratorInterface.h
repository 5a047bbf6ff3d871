// The routing framework's view of a walk over a device's terminals.
#pragma once

#include <cstdint>

#include "kestrel/quill_ra_kestrel.h"

namespace quill {

class TerminalIteratorInterface {
 public:
  virtual ~TerminalIteratorInterface() = default;

  virtual void next(tStatusReport* status) = 0;
  virtual bool isEnd() = 0;
  virtual const char* getStringAttribute(const char* name, tStatusReport* status) = 0;
  virtual bool getBoolAttribute(const char* name, tStatusReport* status) = 0;
  virtual std::uint32_t getU32Attribute(const char* name, tStatusReport* status) = 0;
  virtual void resetTerminal(const char* mode, tStatusReport* status) = 0;

 protected:
  TerminalIteratorInterface() = default;
  TerminalIteratorInterface(const TerminalIteratorInterface&) = delete;
  TerminalIteratorInterface& operator=(const TerminalIteratorInterface&) = delete;
};

}  // namespace quill
