#include "firmware/tFirmwareFileScan.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "firmware/base64Payload.h"

namespace nKESTREL1400::nFirmware {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::string_view kSectionName = "HeaderVersion";  // and "::"
constexpr std::string_view kByteCountKey = "ByteCount::";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
// The next section's key is decoded as payload before its colons show
// what it is: room for the bytes its letters give.
constexpr std::size_t kKeyRoom = (kSectionName.size() + 3) / 4 * 3;

// Large images go into huge pages where the system offers them: a fresh
// buffer of many MiB otherwise costs a page fault every 4 KiB.
constexpr std::size_t kHugePage = 2u << 20;

std::size_t find(const char* text, std::string_view what, std::size_t from, std::size_t to) {
  if (from >= to || to - from < what.size()) return kNone;
  const void* found = memmem(text + from, to - from, what.data(), what.size());
  return found == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(found) - text);
}

}  // namespace

void* allocateImage(std::size_t size) noexcept {
  if (size < kHugePage) return std::malloc(size);
  void* buffer = std::aligned_alloc(kHugePage, (size + kHugePage - 1) / kHugePage * kHugePage);
  if (buffer != nullptr) madvise(buffer, size, MADV_HUGEPAGE);
  return buffer;
}

tFirmwareFileScan::tFirmwareFileScan(const std::uint8_t* data, std::uint64_t length) noexcept
    : text_(reinterpret_cast<const char*>(data)), limit_(data == nullptr ? 0 : static_cast<std::size_t>(length)),
      end_(limit_), lastQuote_(kNone), secondLastQuote_(kNone) {
  ok_ = scan();
}

tFirmwareFileScan::~tFirmwareFileScan() {
  for (std::size_t i = 0; i < count_; ++i) std::free(sections_[i].data);
  std::free(sections_);
}

std::uint8_t* tFirmwareFileScan::take(std::size_t index) noexcept {
  std::uint8_t* data = sections_[index].data;
  sections_[index].data = nullptr;
  return data;
}

bool tFirmwareFileScan::scan() noexcept {
  std::size_t start = 0;
  if (!findFirstSection(start)) return true;
  for (std::size_t next = 0;; start = next) {
    if (!scanSection(start, next)) return false;
    if (next == kNone) return true;
  }
}

// Text before the first section is passed over, up to the text's end.
bool tFirmwareFileScan::findFirstSection(std::size_t& start) noexcept {
  for (std::size_t at = 0;; ++at) {
    at = nextMark(at, limit_);
    if (at == limit_) return false;
    if (text_[at] == '\0') {
      end_ = at;
      return false;
    }
    if (text_[at] == '"') noteQuote(at);
    if (endsSectionKey(at, 0)) {
      start = at - kSectionName.size();
      return true;
    }
  }
}

// The header runs from the section's start to its empty line, which must
// come before the section or the text ends: the marks up to the empty line
// are looked at, not the payload after it.
bool tFirmwareFileScan::scanHeader(std::size_t start, std::size_t& headerEnd) noexcept {
  headerEnd = find(text_, kHeaderEnd, start, limit_);
  if (headerEnd == kNone) return false;
  for (std::size_t at = nextMark(start + 1, headerEnd); at < headerEnd; at = nextMark(at + 1, headerEnd)) {
    if (text_[at] == '\0' || endsSectionKey(at, start + 1)) return false;
    if (text_[at] == '"') noteQuote(at);
  }
  return true;
}

// The room for the payload comes from the header's ByteCount: a payload
// that decodes to more fails its length check anyway, and is left to the
// section-by-section reading to report.
bool tFirmwareFileScan::scanSection(std::size_t start, std::size_t& next) noexcept {
  std::size_t headerEnd = 0;
  if (!scanHeader(start, headerEnd)) return false;
  const std::size_t key = find(text_, kByteCountKey, start, headerEnd);
  if (key == kNone) return false;
  const std::size_t value = key + kByteCountKey.size();
  const std::size_t lineEnd = find(text_, kLineEnd, value, headerEnd + kLineEnd.size());
  if (lineEnd == kNone || lineEnd == value) return false;
  const std::size_t payload = headerEnd + kHeaderEnd.size();
  const std::size_t room =
      std::min<std::size_t>(numberValue({text_ + value, lineEnd - value}), decodedLength(limit_ - payload));
  tSection section{start, 0, static_cast<std::uint8_t*>(allocateImage(room + kKeyRoom + kDecodeSlack)), 0};
  if (section.data == nullptr) return false;
  if (!addSection(section)) {
    std::free(section.data);
    return false;
  }
  return decodePayload(start, payload, sections_[count_ - 1], room, next);
}

// Decodes up to the text's end or the next section's key, noting quotes on
// the way. The key's letters were decoded as payload before its colons
// showed what they are: they are taken back.
bool tFirmwareFileScan::decodePayload(std::size_t start, std::size_t payload, tSection& section, std::size_t room,
                                      std::size_t& next) noexcept {
  tBase64State state;
  next = kNone;
  for (std::size_t at = payload;; ++at) {
    const tBase64Stop stop = decodeBase64Until(text_, at, limit_, section.data, room + kKeyRoom, state);
    at = stop.at;
    if (stop.full) return false;
    if (at == limit_) break;
    if (text_[at] == '\0') {
      end_ = at;
      break;
    }
    if (text_[at] == '"') noteQuote(at);
    if (endsSectionKey(at, start + 1)) {
      next = at - kSectionName.size();
      takeBackBase64(state, text_, payload, at, kSectionName.size());
      break;
    }
  }
  section.end = next == kNone ? end_ : next;
  section.decoded = finishBase64(state, section.data);
  return section.decoded <= room;
}

bool tFirmwareFileScan::addSection(const tSection& section) noexcept {
  if (count_ == capacity_) {
    const std::size_t capacity = capacity_ == 0 ? 4 : 2 * capacity_;
    auto* grown = static_cast<tSection*>(std::realloc(sections_, capacity * sizeof(tSection)));
    if (grown == nullptr) return false;
    sections_ = grown;
    capacity_ = capacity;
  }
  sections_[count_++] = section;
  return true;
}

std::size_t tFirmwareFileScan::nextMark(std::size_t at, std::size_t to) const noexcept {
  for (; at < to; ++at) {
    const char c = text_[at];
    if (c == '\0' || c == '"' || c == ':') return at;
  }
  return to;
}

bool tFirmwareFileScan::endsSectionKey(std::size_t colon, std::size_t earliest) const noexcept {
  return text_[colon] == ':' && colon >= earliest + kSectionName.size() && colon + 1 < limit_ &&
         text_[colon + 1] == ':' &&
         std::memcmp(text_ + colon - kSectionName.size(), kSectionName.data(), kSectionName.size()) == 0;
}

void tFirmwareFileScan::noteQuote(std::size_t at) noexcept {
  secondLastQuote_ = lastQuote_;
  lastQuote_ = at;
}

}  // namespace nKESTREL1400::nFirmware
