// The answers of route calculations and terminal paths.
#include "routing/routeAnswers.h"

#include <cstring>
#include <string_view>

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

// A segment object's fixed texts, in order around its four values.
constexpr std::string_view kTicketText = R"({"ticket":)";
constexpr std::string_view kDestinationText = R"(,"destination":")";
constexpr std::string_view kCostText = R"(","cost":)";
constexpr std::string_view kIndexText = R"(,"indexOfStartingSeed":)";
constexpr std::string_view kInvertedText = R"(,"constraints":{"inversionNeeded":true}})";
constexpr std::string_view kPlainText = R"(,"constraints":{}})";

std::size_t decimalLength(std::uint32_t value) noexcept {
  std::size_t length = 1;
  for (; value >= 10; value /= 10) ++length;
  return length;
}

char* append(char* out, std::string_view text) noexcept {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// As "%u" writes it.
char* appendDecimal(char* out, std::uint32_t value) noexcept {
  const std::size_t length = decimalLength(value);
  for (std::size_t i = length; i > 0; --i, value /= 10) out[i - 1] = static_cast<char>('0' + value % 10);
  return out + length;
}

std::string_view constraintsText(const tRouteSegment& segment) noexcept {
  return segment.inversionNeeded != 0 ? kInvertedText : kPlainText;
}

}  // namespace

void writeSegmentsAnswer(tAnswerBuffer& buffer, const tTerminalNames& names, const tRouteSegment* segments,
                         std::size_t count) {
  char* p = buffer.end();
  for (std::size_t i = 0; i < count; ++i) {
    p = writeSegmentMembers(p, buffer.grow(), names.nameOf(segments[i].destinationId).text, segments[i]);
  }
}

std::size_t plainSegmentsAnswerLength(const tTerminalNames& names, const tRouteSegment* segments,
                                      std::size_t count) noexcept {
  constexpr std::size_t kFixed = kTicketText.size() + kDestinationText.size() + kCostText.size() + kIndexText.size();
  std::size_t length = count == 0 ? 2 : count + 1;  // brackets and commas
  for (std::size_t i = 0; i < count; ++i) {
    const tRouteSegment& segment = segments[i];
    const tTerminalNames::tName name = names.nameOf(segment.destinationId);
    if (!name.plain) return 0;
    length += kFixed + constraintsText(segment).size() + name.length + decimalLength(segment.ticket) +
              decimalLength(segment.cost) + decimalLength(segment.indexOfStartingSeed);
  }
  return length;
}

void writePlainSegmentsAnswer(char* out, const tTerminalNames& names, const tRouteSegment* segments,
                              std::size_t count) noexcept {
  *out++ = '[';
  for (std::size_t i = 0; i < count; ++i) {
    const tRouteSegment& segment = segments[i];
    const tTerminalNames::tName name = names.nameOf(segment.destinationId);
    if (i != 0) *out++ = ',';
    out = appendDecimal(append(out, kTicketText), segment.ticket);
    out = append(append(out, kDestinationText), {name.text, name.length});
    out = appendDecimal(append(out, kCostText), segment.cost);
    out = appendDecimal(append(out, kIndexText), segment.indexOfStartingSeed);
    out = append(out, constraintsText(segment));
  }
  *out++ = ']';
  *out = '\0';
}

void writePathAnswer(tAnswerBuffer& buffer, const tTerminalNames& names, const std::uint32_t* path,
                     std::size_t count) {
  char* p = buffer.end();
  for (std::size_t i = 0; i < count; ++i) p = jsonz_addString(p, nullptr, names.nameOf(path[i]).text, buffer.grow());
}

}  // namespace tarn
