// Firmware images the simulated system accepted, made visible outside the
// process: under kestrel-sim each is written into the sandbox and
// announced on standard error.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace nKESTRELSIM {

class tImageAnnouncer {
 public:
  void enable(bool on) noexcept { on_ = on; }
  // Writes the image to <root>/received/<TARGET>-<n>.bin and says so on
  // standard error; nothing while off or without a sandbox.
  void announce(const std::string& root, const char* target, std::span<const std::uint8_t> bytes);
  void forget() { numbers_.clear(); }

 private:
  bool on_ = false;
  std::map<std::string, unsigned> numbers_;  // the last number used per target
};

}  // namespace nKESTRELSIM
