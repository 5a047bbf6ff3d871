// One exchange between a program and the controller's driver as a
// recording holds it: which call, which process and thread made it and
// when, what went in and what came back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nKESTRELSIM {

using tBytes = std::vector<std::uint8_t>;

enum class tRecordedCall {
  kGlob,         // discovery: a pattern and the paths it matched
  kFile,         // a driver file read whole: an interface's path file, the SMBIOS dump
  kOpen,         // a device node opened
  kClose,        // a device node or notification socket closed
  kIoctl,        // a request with the caller memory it reached
  kSocket,       // a notification socket made
  kBind,         // a notification socket bound
  kGetsockname,  // its address asked
  kSetsockopt,
  kGetsockopt,
  kRecvmsg,      // a driver message received
  kPopen,        // a tool run with its output read
  kSystem,       // a command run for its exit status
};

// The caller memory a request reached: the transfer descriptor, its input
// and output records, a buffer an input record points at, or the
// registration record. `before` is what the driver was given, `after`
// what the caller found once it had answered; memory the driver only
// writes has no `before` (its old content is nothing the program sent).
struct tMemoryRegion {
  std::string what;  // "descriptor", "input", "output", "registration", "buffer"
  std::uint32_t field = 0;  // for a buffer: the offset of its address in the input record
  std::optional<tBytes> before;
  std::optional<tBytes> after;
};

struct tExchange {
  std::size_t line = 0;  // in the recording, from 1
  tRecordedCall call = tRecordedCall::kGlob;
  std::int64_t process = 0;
  std::int64_t thread = 0;
  std::int64_t nanoseconds = 0;  // CLOCK_REALTIME
  std::string text;                // the path, pattern or command
  std::vector<std::string> paths;  // a glob's matches
  tBytes bytes;  // file content, received message, socket address, option value, tool output
  std::vector<tMemoryRegion> memory;
  // The call's numbers by member name: "fd", "request", "result", "error", ...
  std::map<std::string, std::int64_t> numbers;

  std::int64_t number(const std::string& name, std::int64_t absent = 0) const;
  const tMemoryRegion* region(const std::string& what, std::uint32_t field = 0) const;
};

const char* callName(tRecordedCall call) noexcept;
std::optional<tRecordedCall> callNamed(const std::string& name) noexcept;

}  // namespace nKESTRELSIM
