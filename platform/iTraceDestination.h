#pragma once

#include <cstddef>

namespace nKESTREL1400::nBRIO000 {

// Where trace output goes.
class iTraceDestination {
 public:
  virtual ~iTraceDestination() = default;
  virtual void writeText(const char* text) = 0;
  virtual void writeBytes(const char* data, std::size_t count) = 0;
  virtual void flush() = 0;
  virtual void getCommandLineArguments(char* buffer, std::size_t size, std::size_t* needed) = 0;
  virtual bool isEnabled() = 0;
  virtual void reset() = 0;
  virtual const char* getName() = 0;
};

// Anything that can describe itself to a trace.
class iTraceable {
 public:
  virtual ~iTraceable() = default;
};

}  // namespace nKESTREL1400::nBRIO000
