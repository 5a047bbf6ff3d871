// The requests the simulated driver received, in order, for tests to
// look at. Guarded by the simulator's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nKESTRELSIM {

// One request as the driver received it.
struct tLoggedRequest {
  std::string interfaceName;
  std::string directory;
  std::uint32_t code = 0;
  std::vector<std::uint8_t> input;  // the input record (registration: the 16-byte record)
  std::uint32_t outputSize = 0;
  std::uint64_t argument = 0;  // unregistration: the notification id passed as the argument
  int error = 0;               // errno the ioctl failed with, 0 when answered
};

class tRequestLog {
 public:
  void add(tLoggedRequest entry);
  const std::vector<tLoggedRequest>& entries() const noexcept { return entries_; }
  std::vector<tLoggedRequest> entriesOf(std::uint32_t code) const;
  void clear() noexcept { entries_.clear(); }
  // Keeps at most `count` entries, for a driver that serves for a long
  // time; a full log drops its older half at once rather than one entry
  // per request.
  void limit(std::size_t count);
  void reset();

 private:
  std::vector<tLoggedRequest> entries_;
  std::size_t limit_ = SIZE_MAX;
};

}  // namespace nKESTRELSIM
