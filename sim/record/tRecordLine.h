// Builds one exchange line of a recording. The recorder writes a line for
// every request a program makes, so it is built in one string by hand,
// without a JSON document in between.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/record/tExchange.h"

namespace nKESTRELSIM {

class tRecordLine {
 public:
  // Starts the line with the call, process, thread and time.
  tRecordLine(tRecordedCall call, std::int64_t process, std::int64_t thread, std::int64_t nanoseconds);

  tRecordLine& number(std::string_view name, std::int64_t value);
  tRecordLine& text(std::string_view name, std::string_view value);
  tRecordLine& hex(std::string_view name, std::span<const std::uint8_t> bytes);
  tRecordLine& texts(std::string_view name, std::span<const std::string> values);
  // Opens the "memory" array; each region() adds one member to it.
  tRecordLine& region(const tMemoryRegion& region);
  // The line with its closing brace and newline.
  const std::string& finish();

 private:
  void key(std::string_view name);
  std::string line_;
  bool inMemory_ = false;
  bool firstRegion_ = true;
};

}  // namespace nKESTRELSIM
