// Faults scripted by tests: the next N requests of a code, or the next N
// calls of a kind, fail the way the test asks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "sim/models/recordFault.h"

namespace nKESTRELSIM {

// Library calls the simulator answers, as fault targets. Faults apply
// only to calls on simulated paths, descriptors and sockets.
enum class tCall { kOpen, kFopen, kSocket, kBind, kGetsockname, kGetsockopt, kSetsockopt, kRecvmsg, kPoll, kGlob,
                   kStat, kPopen, kSystem };

// How a request fails: with an errno from the ioctl itself, or answered by
// the driver as `record` says (the model still runs and fills the output).
struct tRequestFault {
  int error = 0;
  std::int32_t status = 0;
  tRecordFault record = tRecordFault::kStatus;
  std::uint32_t size = 0;
};

class tFaultPlan {
 public:
  void addRequestFault(std::uint32_t code, unsigned count, tRequestFault fault);
  std::optional<tRequestFault> takeRequestFault(std::uint32_t code);
  // The fault the next request of the code meets, left in place.
  std::optional<tRequestFault> nextRequestFault(std::uint32_t code) const;
  // For kGlob the value is glob's result code, otherwise an errno.
  void addCallFault(tCall call, unsigned count, int value);
  std::optional<int> takeCallFault(tCall call);
  void clear();

 private:
  struct tPending {
    unsigned remaining = 0;
    tRequestFault fault;
  };
  std::map<std::uint32_t, tPending> requests_;
  std::map<tCall, tPending> calls_;
};

}  // namespace nKESTRELSIM
