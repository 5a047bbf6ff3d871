// The answer documents of route requests, written into an answer buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/driverWireFormat.h"
#include "routing/TopographyInfoRegistration.h"
#include "routing/tAnswerBuffer.h"

namespace tarn {

// One object per segment, in the driver's order: "ticket", "destination"
// (the terminal's name, "" for an unknown id), "cost", "indexOfStartingSeed"
// and "constraints" ({"inversionNeeded":true} or {}).
void writeSegmentsAnswer(tAnswerBuffer& buffer, const tTopographyInfo& topography,
                         const nKESTREL1400::nDriverWire::tRouteSegment* segments, std::size_t count);

// The names of the path's terminals, "" for an unknown id.
void writePathAnswer(tAnswerBuffer& buffer, const tTopographyInfo& topography, const std::uint32_t* path,
                     std::size_t count);

}  // namespace tarn
