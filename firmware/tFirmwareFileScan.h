// One pass over a firmware update file that decodes every payload and, on
// the same pass, finds what the parser needs besides: where the text ends
// (its first NUL), where each section starts and ends, and its double
// quotes. The section headers are judged afterwards, in file order, from
// the text and quotes found here.
//
// The pass takes files of the ordinary shape: every section has its empty
// line, a ByteCount in its header, and a payload that decodes to no more
// than that count. For any other file, and when memory runs short, ok() is
// false and the parser reads the file section by section instead, which
// then decides what is wrong with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/headerValue.h"

namespace nKESTREL1400::nFirmware {

class tFirmwareFileScan {
 public:
  struct tSection {
    std::size_t start;
    std::size_t end;
    std::uint8_t* data;    // the decoded payload, held here until taken
    std::size_t decoded;   // its length
  };

  // The text is the buffer up to its first NUL byte, never beyond `length`.
  tFirmwareFileScan(const std::uint8_t* data, std::uint64_t length) noexcept;
  ~tFirmwareFileScan();
  tFirmwareFileScan(const tFirmwareFileScan&) = delete;
  tFirmwareFileScan& operator=(const tFirmwareFileScan&) = delete;

  bool ok() const noexcept { return ok_; }
  std::string_view text() const noexcept { return {text_, end_}; }
  tQuoteIndex quotes() const noexcept { return tQuoteIndex(text_, lastQuote_, secondLastQuote_); }
  std::size_t sectionCount() const noexcept { return count_; }
  const tSection& section(std::size_t index) const noexcept { return sections_[index]; }
  // Hands the section's payload over; the caller frees it with std::free.
  std::uint8_t* take(std::size_t index) noexcept;

 private:
  bool scan() noexcept;
  bool findFirstSection(std::size_t& start) noexcept;
  bool scanHeader(std::size_t start, std::size_t& headerEnd) noexcept;
  bool scanSection(std::size_t start, std::size_t& next) noexcept;
  bool decodePayload(std::size_t start, std::size_t payload, tSection& section, std::size_t room,
                     std::size_t& next) noexcept;
  bool addSection(const tSection& section) noexcept;
  // The next NUL, double quote or colon from `at` on, or `to`.
  std::size_t nextMark(std::size_t at, std::size_t to) const noexcept;
  // Whether a colon there ends "HeaderVersion::" that starts at or after
  // `earliest`.
  bool endsSectionKey(std::size_t colon, std::size_t earliest) const noexcept;
  void noteQuote(std::size_t at) noexcept;

  const char* text_;
  std::size_t limit_;
  std::size_t end_;
  std::size_t lastQuote_;
  std::size_t secondLastQuote_;
  tSection* sections_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  bool ok_ = false;
};

// Memory for a decoded image of `size` bytes: huge pages for large ones,
// released with std::free.
void* allocateImage(std::size_t size) noexcept;

}  // namespace nKESTREL1400::nFirmware
