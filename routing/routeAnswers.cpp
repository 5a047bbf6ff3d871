// The answers of route calculations and terminal paths.
#include "routing/routeAnswers.h"

#include <cstring>

#include "routing/terminalNames.h"

namespace tarn {
namespace {

using nKESTREL1400::nDriverWire::tRouteSegment;

// A segment object member by member through the writer.
char* writeSegmentMembers(char* p, const jsonz_growHandler& grow, const char* destination,
                          const tRouteSegment& segment) {
  p = jsonz_addObject(p, nullptr, grow);
  p = jsonz_addRaw(p, "ticket", tUnsignedText(segment.ticket).text, grow);
  p = jsonz_addString(p, "destination", destination, grow);
  p = jsonz_addRaw(p, "cost", tUnsignedText(segment.cost).text, grow);
  p = jsonz_addRaw(p, "indexOfStartingSeed", tUnsignedText(segment.indexOfStartingSeed).text, grow);
  p = jsonz_addObject(p, "constraints", grow);
  if (segment.inversionNeeded != 0) p = jsonz_addBool(p, "inversionNeeded", true, grow);
  return jsonz_endObject(jsonz_endObject(p));
}

// Appends texts to a buffer that is known to be large enough.
struct tTextAppender {
  char* out;
  tTextAppender& operator<<(const char* text) {
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length + 1);
    out += length;
    return *this;
  }
};

// Terminal names short enough for the segment text below.
constexpr std::size_t kMaxPlainNameLength = 96;

// Writes one segment object at `p` (the array's "]") and returns the
// position after it. The object is usually composed here and inserted
// whole, which gives the writer's text at a fraction of its cost; a name
// that needs escaping takes the member-by-member way.
char* writeSegment(char* p, const jsonz_growHandler& grow, const tTopographyInfo& topography,
                   const tRouteSegment& segment) {
  const char* destination = terminalNameById(topography, segment.destinationId);
  const std::size_t nameLength = std::strlen(destination);
  if (nameLength > kMaxPlainNameLength || jsonz_escapedLength(destination) != nameLength) {
    return writeSegmentMembers(p, grow, destination, segment);
  }
  char text[256];
  tTextAppender{text} << R"({"ticket":)" << tUnsignedText(segment.ticket).text << R"(,"destination":")"
                      << destination << R"(","cost":)" << tUnsignedText(segment.cost).text
                      << R"(,"indexOfStartingSeed":)" << tUnsignedText(segment.indexOfStartingSeed).text
                      << (segment.inversionNeeded != 0 ? R"(,"constraints":{"inversionNeeded":true}})"
                                                       : R"(,"constraints":{}})");
  return jsonz_addRaw(p, nullptr, text, grow);
}

}  // namespace

void writeSegmentsAnswer(tAnswerBuffer& buffer, const tTopographyInfo& topography, const tRouteSegment* segments,
                         std::size_t count) {
  char* p = buffer.end();
  for (std::size_t i = 0; i < count; ++i) p = writeSegment(p, buffer.grow(), topography, segments[i]);
}

void writePathAnswer(tAnswerBuffer& buffer, const tTopographyInfo& topography, const std::uint32_t* path,
                     std::size_t count) {
  char* p = buffer.end();
  for (std::size_t i = 0; i < count; ++i) {
    p = jsonz_addString(p, nullptr, terminalNameById(topography, path[i]), buffer.grow());
  }
}

}  // namespace tarn
