// Reads a recording: the header line with the format and its version, then
// one exchange per line. Anything else - a line that is not JSON, a member
// of the wrong type, hex that is not hex, a recording cut off inside a line -
// is refused with the line's number, so an edited or truncated recording
// never replays half understood.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/record/tExchange.h"

namespace nKESTRELSIM {

class tRecordingError : public std::runtime_error {
 public:
  tRecordingError(std::size_t line, const std::string& message);
  std::size_t line() const noexcept { return line_; }

 private:
  std::size_t line_;
};

struct tRecording {
  int version = 0;
  bool redacted = false;
  std::vector<tExchange> exchanges;  // in the order of the file
};

// Throws tRecordingError.
tRecording readRecording(std::string_view text);
// Throws tRecordingError (line 0 when the file cannot be read).
tRecording readRecordingFile(const std::string& path);

}  // namespace nKESTRELSIM
