// The answers of route calculations and terminal paths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/driverWireFormat.h"
#include "routing/tAnswerBuffer.h"
#include "routing/tTerminalNames.h"

namespace tarn {

// One object per segment, in the driver's order: "ticket", "destination"
// (the terminal's name, "" for an unknown id), "cost", "indexOfStartingSeed"
// and "constraints" ({"inversionNeeded":true} or {}).
void writeSegmentsAnswer(tAnswerBuffer& buffer, const tTerminalNames& names,
                         const nKESTREL1400::nDriverWire::tRouteSegment* segments, std::size_t count);

// The same answer written straight into its final memory, when no
// destination name needs escaping: its length without the NUL (0 when a
// name needs escaping), and the text itself into `length` + 1 bytes.
std::size_t plainSegmentsAnswerLength(const tTerminalNames& names,
                                      const nKESTREL1400::nDriverWire::tRouteSegment* segments,
                                      std::size_t count) noexcept;
void writePlainSegmentsAnswer(char* out, const tTerminalNames& names,
                              const nKESTREL1400::nDriverWire::tRouteSegment* segments, std::size_t count) noexcept;

// The names of the path's terminals, "" for an unknown id.
void writePathAnswer(tAnswerBuffer& buffer, const tTerminalNames& names, const std::uint32_t* path,
                     std::size_t count);

}  // namespace tarn
