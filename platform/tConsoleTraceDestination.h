#pragma once

#include "platform/iTraceDestination.h"

namespace nKESTREL1400::nBRIO000 {

// Trace destination writing to standard error through zesdbg_printf.
class tConsoleTraceDestination final : public iTraceDestination {
 public:
  void writeText(const char* text) override;
  void writeBytes(const char* data, std::size_t count) override;
  void flush() override {}
  void getCommandLineArguments(char* buffer, std::size_t size, std::size_t* needed) override;
  bool isEnabled() override { return true; }
  void reset() override {}
  const char* getName() override { return "zesdbg_printf"; }
};

// The process-wide console destination, alive while the library is loaded.
tConsoleTraceDestination& consoleTraceDestination() noexcept;

}  // namespace nKESTREL1400::nBRIO000
