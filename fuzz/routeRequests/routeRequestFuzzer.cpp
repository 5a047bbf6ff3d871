// Route request documents as the framework might send them: the input is
// split at its first two NUL bytes into the seeds, destinations and
// modifiers texts. A refused request must leave a status report that is one
// strict JSON object in well-formed UTF-8; an accepted one is answered with
// a segment per destination, and that answer must be strict JSON too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"
#include "routing/TopographyInfoRegistration.h"
#include "routing/routeAnswers.h"
#include "routing/routeRequestDocuments.h"
#include "routing/strictJsonValue.h"

namespace {

using nKESTREL1400::nDriverWire::tRouteSegment;

// Checked here from the code point ranges, apart from the library's own
// decoder: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isUtf8(const unsigned char* p, std::size_t length) {
  std::size_t i = 0;
  while (i < length) {
    const unsigned lead = p[i];
    const std::size_t extra = lead < 0x80             ? 0
                              : (lead & 0xE0) == 0xC0 ? 1
                              : (lead & 0xF0) == 0xE0 ? 2
                              : (lead & 0xF8) == 0xF0 ? 3
                                                      : 4;
    if (extra == 4 || extra >= length - i) return false;
    std::uint32_t codePoint = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (p[i + k] & 0x3Fu);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

void requireJson(const char* text, char first) {
  const std::size_t length = std::strlen(text);
  if (length == 0 || text[0] != first || !tarn::isStrictJsonValue(text, length)) std::abort();
  if (!isUtf8(reinterpret_cast<const unsigned char*>(text), length)) std::abort();
}

// Segments as a driver might answer: one per destination from the seed of
// the same index (or none), ids and costs as they came. The answer written
// straight at its final size must be the writer's, byte for byte.
void answer(const tarn::tTerminalNames& names, const tarn::tRouteRequest& request) {
  tarn::tInlineArray<tRouteSegment, 32> segments(request.destinations.size());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const bool hasSeed = i < request.seeds.size();
    segments[i] = tRouteSegment{static_cast<std::uint32_t>(i), request.destinations[i],
                                hasSeed ? request.seeds[i].cost : 0, static_cast<std::uint32_t>(i),
                                hasSeed ? request.seeds[i].inversionNeeded : std::uint8_t{0}, {}};
  }
  tarn::tAnswerBuffer segmentAnswer;
  tarn::writeSegmentsAnswer(segmentAnswer, names, segments.data(), segments.size());
  requireJson(segmentAnswer.text(), '[');
  const std::size_t length = tarn::plainSegmentsAnswerLength(names, segments.data(), segments.size());
  if (length != 0) {
    std::string plain(length + 1, 'x');
    tarn::writePlainSegmentsAnswer(plain.data(), names, segments.data(), segments.size());
    if (std::strcmp(plain.c_str(), segmentAnswer.text()) != 0 || plain.size() != std::strlen(plain.c_str()) + 1 ||
        tarn::tAnswerBuffer::sizeFor(length) != segmentAnswer.size()) {
      std::abort();
    }
  }
  tarn::tAnswerBuffer pathAnswer;
  tarn::writePathAnswer(pathAnswer, names, request.destinations.data(), request.destinations.size());
  requireJson(pathAnswer.text(), '[');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(bytes), size);
  input.append(2, '\0');
  const char* seeds = input.c_str();
  const char* destinations = seeds + std::strlen(seeds) + 1;
  const char* modifiers = destinations + std::strlen(destinations) + 1;
  static const tarn::tTerminalNames names(tarn::findTopography("pxiContTriggerRouter"));
  try {
    tarn::tRouteRequest request;
    tarn::readSeeds(seeds, names, request);
    tarn::readDestinations(destinations, names, request);
    tarn::readModifiers(modifiers, request.modifiers);
    answer(names, request);
  } catch (const zeerr::ExceptionBase& refusal) {
    if (refusal.statusReport().code != -52005) std::abort();
    requireJson(nKESTREL1400::reportText(refusal.statusReport()), '{');
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
