// A lower-layer status that starts where a framework's status report
// stands: the code, and the place the report's members name.
#pragma once

#include "kestrel/quill_ra_kestrel.h"
#include "platform/tStatus.h"

namespace tarn {

// Copies the code and the members "component" (at most 9 characters),
// "file" (its last 100 characters) and "line"; members that are missing
// or malformed stay empty.
void seedStatusFromReport(nKESTREL1400::tStatus& status, const tStatusReport& record);

}  // namespace tarn
