// A request on a device node, forwarded and recorded with the caller
// memory the driver read before it answered and what it wrote.
#pragma once

#include "sim/recorder/tRecorder.h"

namespace nKESTRELSIM {

int recordRequest(tRecorder& recorder, int descriptor, unsigned long request, void* argument);

}  // namespace nKESTRELSIM
