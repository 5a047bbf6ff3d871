#include "firmware/firmwareSections.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "kestrel/kestrel.h"

namespace nKESTREL1400::nFirmware {
namespace {

constexpr std::string_view kHeaderVersionKey = "HeaderVersion::";
constexpr std::string_view kUpdateTypeKey = "UpdateType::";
// A line feed in front keeps "HeaderVersion::" from matching.
constexpr std::string_view kVersionKey = "\nVersion::";
constexpr std::string_view kTargetDeviceKey = "TargetDevice::";
constexpr std::string_view kCrcKey = "CRC::";
constexpr std::string_view kByteCountKey = "ByteCount::";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kUpdateType = "FWUpdate";
constexpr std::string_view kTargets[] = {"BIOS", "MARTEN", "SAFEMODE"};

constexpr tFormatFailure kKeyMissing{kestrelerr_invalidImage, 118};
constexpr tFormatFailure kValueEmpty{kestrelerr_invalidImage, 124};
constexpr tFormatFailure kNumberUnended{kestrelerr_invalidImage, 127};
constexpr tFormatFailure kQuoteUnmatched{kestrelerr_invalidImage, 141};
constexpr tFormatFailure kHeaderVersion{kestrelerr_unsupportedImageHeader, 205};
constexpr tFormatFailure kUpdateTypeRefused{kestrelerr_invalidImage, 210};
constexpr tFormatFailure kTargetUnknown{kestrelerr_invalidImage, 215};
constexpr tFormatFailure kHeaderUnended{kestrelerr_invalidImage, 221};
constexpr tFormatFailure kByteCountDiffers{kestrelerr_invalidImage, 240};
constexpr tFormatFailure kCrcDiffers{kestrelerr_invalidImage, 245};

constexpr std::size_t kNpos = std::string_view::npos;

std::size_t find(std::string_view text, std::string_view key, std::size_t from, std::size_t to) {
  if (from >= to || to - from < key.size()) return kNpos;
  const void* found = memmem(text.data() + from, to - from, key.data(), key.size());
  return found == nullptr ? kNpos : static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
}

// The section key, found by its "::": a colon never occurs in Base64, so
// the search runs through payloads at memchr's pace.
std::size_t findSectionKey(std::string_view text, std::size_t from, std::size_t to) {
  constexpr std::size_t kColon = kHeaderVersionKey.size() - 2;
  std::size_t at = from + kColon;
  while (at + 1 < to) {
    const void* colon = std::memchr(text.data() + at, ':', to - at - 1);
    if (colon == nullptr) return kNpos;
    at = static_cast<std::size_t>(static_cast<const char*>(colon) - text.data());
    if (text[at + 1] == ':' && text.compare(at - kColon, kColon, kHeaderVersionKey.substr(0, kColon)) == 0) {
      return at - kColon;
    }
    ++at;
  }
  return kNpos;
}

std::string_view untilNul(const std::uint8_t* data, std::uint64_t length) {
  if (data == nullptr) return {};
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(text, '\0', length);
  return {text, nul == nullptr ? static_cast<std::size_t>(length) : static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
}

// The text's end (its first NUL) and its last two double quotes.
struct tSurvey {
  std::size_t size;
  std::size_t lastQuote = kNpos;
  std::size_t secondLastQuote = kNpos;

  void noteQuote(std::size_t at) {
    secondLastQuote = lastQuote;
    lastQuote = at;
  }
  void noteQuotes(std::uint64_t mask, std::size_t base) {
    if (mask == 0) return;
    const unsigned highest = 63 - static_cast<unsigned>(__builtin_clzll(mask));
    const std::uint64_t rest = mask & ~(std::uint64_t{1} << highest);
    secondLastQuote = rest != 0 ? base + 63 - static_cast<unsigned>(__builtin_clzll(rest)) : lastQuote;
    lastQuote = base + highest;
  }
};

tSurvey surveyBytewise(const char* text, std::size_t at, std::size_t length, tSurvey survey) {
  for (; at < length; ++at) {
    if (text[at] == '\0') break;
    if (text[at] == '"') survey.noteQuote(at);
  }
  survey.size = at;
  return survey;
}

#if defined(__x86_64__)
// Both in one pass, 64 bytes at a time.
__attribute__((target("avx512f,avx512bw"))) tSurvey surveyWide(const char* text, std::size_t length) {
  tSurvey survey{length};
  const __m512i quote = _mm512_set1_epi8('"');
  std::size_t at = 0;
  for (; length - at >= 64; at += 64) {
    const __m512i block = _mm512_loadu_si512(text + at);
    const std::uint64_t nul = _mm512_testn_epi8_mask(block, block);
    std::uint64_t quotes = _mm512_cmpeq_epi8_mask(block, quote);
    if (nul != 0) {
      survey.noteQuotes(quotes & ((nul & (0 - nul)) - 1), at);
      survey.size = at + static_cast<std::size_t>(__builtin_ctzll(nul));
      return survey;
    }
    survey.noteQuotes(quotes, at);
  }
  return surveyBytewise(text, at, length, survey);
}

bool hasWideRegisters() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}
#endif

// The text up to its first NUL and its quotes: in one pass where the wide
// registers allow, else by the C library's searches.
std::pair<std::string_view, tQuoteIndex> scanText(const std::uint8_t* data, std::uint64_t length) {
#if defined(__x86_64__)
  static const bool wide = hasWideRegisters();
  if (wide && data != nullptr) {
    const char* text = reinterpret_cast<const char*>(data);
    const tSurvey found = surveyWide(text, static_cast<std::size_t>(length));
    return {std::string_view(text, found.size), tQuoteIndex(text, found.lastQuote, found.secondLastQuote)};
  }
#endif
  const std::string_view text = untilNul(data, length);
  return {text, tQuoteIndex(text)};
}

bool isTarget(std::string_view value) {
  for (std::string_view target : kTargets) {
    if (value == target) return true;
  }
  return false;
}

}  // namespace

struct tFirmwareText::tSection {
  std::size_t start;
  std::size_t end;
  std::size_t headerEnd;  // where the empty line starts; npos when none
};

tFirmwareText::tFirmwareText(const std::uint8_t* data, std::uint64_t length) noexcept
    : tFirmwareText(scanText(data, length)) {}

std::size_t tFirmwareText::firstSection() const noexcept {
  const std::size_t found = findSectionKey(text_, 0, text_.size());
  return found == kNpos ? kNoSection : found;
}

std::size_t tFirmwareText::nextSection(std::size_t start) const noexcept {
  const std::size_t found = findSectionKey(text_, start + 1, text_.size());
  return found == kNpos ? kNoSection : found;
}

std::size_t tFirmwareText::sectionEnd(std::size_t start) const noexcept {
  const std::size_t next = nextSection(start);
  return next == kNoSection ? text_.size() : next;
}

// A key is read from its own section only: a section that lacks one must
// not borrow it from the next (a missing TargetDevice would install as the
// next section's target, a missing Version would take the next section's
// version past the downgrade check).
std::size_t tFirmwareText::findKey(const tSection& section, std::string_view key) const noexcept {
  return find(text_, key, section.start, section.end);
}

std::size_t tFirmwareText::findLineEnd(const tSection& section, std::size_t from) const noexcept {
  // A line end never spans two sections (the next one starts with its key),
  // so looking in this section first changes nothing but the cost.
  const std::size_t found = find(text_, kLineEnd, from, section.end);
  return found != kNpos ? found : find(text_, kLineEnd, std::max(from, section.end), text_.size());
}

tFormatFailure tFirmwareText::readNumber(const tSection& section, std::string_view key,
                                         std::uint32_t& value) const noexcept {
  const std::size_t at = findKey(section, key);
  if (at == kNpos) return kKeyMissing;
  const std::size_t valueStart = at + key.size();
  const std::size_t lineEnd = findLineEnd(section, valueStart);
  if (lineEnd == kNpos) return kNumberUnended;
  if (lineEnd == valueStart) return kValueEmpty;
  value = numberValue(text_.substr(valueStart, lineEnd - valueStart));
  return {};
}

tFormatFailure tFirmwareText::readString(const tSection& section, std::string_view key,
                                         std::string_view& value) const noexcept {
  const std::size_t at = findKey(section, key);
  if (at == kNpos) return kKeyMissing;
  const std::size_t valueStart = at + key.size();
  std::size_t lineEnd = findLineEnd(section, valueStart);
  if (lineEnd == kNpos) lineEnd = text_.size();
  if (lineEnd == valueStart) return kValueEmpty;
  if (quotes_.judge(text_.substr(valueStart, lineEnd - valueStart), value) == tQuoting::unmatched) {
    return kQuoteUnmatched;
  }
  return {};
}

tFormatFailure tFirmwareText::readHeader(std::size_t start, std::size_t end, tSectionHeader& header) const noexcept {
  const tSection section{start, end, find(text_, kHeaderEnd, start, end)};
  header = tSectionHeader{};
  tFormatFailure failure = readNumber(section, kHeaderVersionKey, header.headerVersion);
  if (!failure) failure = readString(section, kUpdateTypeKey, header.updateType);
  if (!failure) failure = readString(section, kVersionKey, header.version);
  if (!failure) failure = readString(section, kTargetDeviceKey, header.targetDevice);
  if (!failure) failure = readNumber(section, kCrcKey, header.crc);
  if (!failure) failure = readNumber(section, kByteCountKey, header.byteCount);
  if (failure) return failure;
  if (header.headerVersion != 1) return kHeaderVersion;
  if (header.updateType != kUpdateType) return kUpdateTypeRefused;
  if (!isTarget(header.targetDevice)) return kTargetUnknown;
  if (section.headerEnd == kNpos) return kHeaderUnended;
  const std::size_t payloadStart = section.headerEnd + kHeaderEnd.size();
  header.payload = text_.substr(payloadStart, end - payloadStart);
  return {};
}

tFormatFailure checkPayload(const tSectionHeader& header, std::size_t decodedSize, std::uint32_t crc) noexcept {
  if (decodedSize != header.byteCount) return kByteCountDiffers;
  if (crc != header.crc) return kCrcDiffers;
  return {};
}

}  // namespace nKESTREL1400::nFirmware
