// What a driver copies back of an answered request's output record: the
// whole record, nothing, a short record, or one whose size fields claim
// more than the caller's buffers hold. Used by scripted faults and by the
// hostile driver.
#pragma once

#include <cstdint>

#include "sim/models/tDriverRequest.h"

namespace nKESTRELSIM {

// What the driver copies back of an answered request's output record.
enum class tRecordFault : std::uint8_t {
  // The whole record, with `status` written over its status field.
  kStatus,
  // Nothing: the request succeeds but the caller's output record stays as
  // the caller left it (a driver that failed before its copy to user space).
  kNothingWritten,
  // Only the first `size` bytes of the record (fewer than the output size
  // the caller gave; the status field at the record's end is never reached).
  kShort,
  // The record claims more than the caller's buffers hold: its size or
  // count field answers `size` (0: one more than the caller offered room
  // for); the buffers get only what fits. Records without such a field are
  // answered as the model would.
  kOversized,
};

// Applies the record fault to a model's answer: `status` for kStatus,
// `size` for kShort and kOversized. Never reaches beyond the output record
// or the caller's buffers.
void applyRecordFault(tRecordFault fault, std::int32_t status, std::uint32_t size, tDriverRequest& request);

}  // namespace nKESTRELSIM
