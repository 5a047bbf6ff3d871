#include "platform/tConsoleTraceDestination.h"

#include <algorithm>
#include <cstring>

#include "platform/zesdbg.h"

namespace nKESTREL1400::nBRIO000 {
namespace {
constexpr char kArguments[] = " --destination brio";
}

void tConsoleTraceDestination::writeText(const char* text) { zesdbg_printf("%s", text); }

void tConsoleTraceDestination::writeBytes(const char* data, std::size_t count) {
  char format[32] = "%.";
  formatUnsigned(count, 10, format + 2);
  std::strcat(format, "s");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  zesdbg_printf(format, data);
#pragma GCC diagnostic pop
}

void tConsoleTraceDestination::getCommandLineArguments(char* buffer, std::size_t size, std::size_t* needed) {
  if (needed != nullptr) *needed = sizeof kArguments;
  if (buffer == nullptr || size == 0) return;
  const std::size_t count = std::min(size - 1, sizeof kArguments - 1);
  std::memcpy(buffer, kArguments, count);
  buffer[count] = '\0';
  buffer[size - 1] = '\0';
}

}  // namespace nKESTREL1400::nBRIO000
