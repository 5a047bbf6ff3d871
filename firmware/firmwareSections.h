// The sections of a firmware update file and their headers, without any
// session or status record, so that tools read files the way the library
// does.
//
// A section starts at each "HeaderVersion::" and runs to the next one. Its
// header is key lines ("Key::value" CR LF) up to the first empty line; the
// Base64 payload follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "firmware/headerValue.h"

namespace nKESTREL1400::nFirmware {

// A refusal: the status code and the line it is reported at (file
// "tFirmwareImageParser"); code 0 when there is none.
struct tFormatFailure {
  std::int32_t code = 0;
  std::uint32_t line = 0;
  explicit operator bool() const noexcept { return code != 0; }
};

inline constexpr const char* kParserFile = "tFirmwareImageParser";

struct tSectionHeader {
  std::uint32_t headerVersion = 0;
  std::string_view updateType;
  std::string_view version;
  std::string_view targetDevice;
  std::uint32_t crc = 0;
  std::uint32_t byteCount = 0;
  std::string_view payload;  // empty when the header has no end
};

class tFirmwareText {
 public:
  static constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);

  // The text is the buffer up to its first NUL byte, never beyond `length`.
  tFirmwareText(const std::uint8_t* data, std::uint64_t length) noexcept;
  // A text whose end and quotes are known already (tFirmwareFileScan).
  tFirmwareText(std::string_view text, const tQuoteIndex& quotes) noexcept : text_(text), quotes_(quotes) {}

  std::string_view text() const noexcept { return text_; }
  // The offset of the first section, or of the section after the one at
  // `start`; kNoSection when there is none.
  std::size_t firstSection() const noexcept;
  std::size_t nextSection(std::size_t start) const noexcept;
  std::size_t sectionEnd(std::size_t start) const noexcept;

  // Reads and checks the header of the section from `start` to `end`
  // (sectionEnd): key values,
  // HeaderVersion 1, UpdateType "FWUpdate", a known TargetDevice, and the
  // header's end.
  tFormatFailure readHeader(std::size_t start, std::size_t end, tSectionHeader& header) const noexcept;

 private:
  struct tSection;
  explicit tFirmwareText(const std::pair<std::string_view, tQuoteIndex>& scanned) noexcept
      : tFirmwareText(scanned.first, scanned.second) {}
  tFormatFailure readNumber(const tSection& section, std::string_view key, std::uint32_t& value) const noexcept;
  tFormatFailure readString(const tSection& section, std::string_view key, std::string_view& value) const noexcept;
  // The first occurrence of `key` inside the section; npos when there is
  // none.
  std::size_t findKey(const tSection& section, std::string_view key) const noexcept;
  // The first CR LF at or after `from`.
  std::size_t findLineEnd(const tSection& section, std::size_t from) const noexcept;

  std::string_view text_;
  tQuoteIndex quotes_;
};

// Payload checks: the decoded length against ByteCount, the checksum
// against CRC.
tFormatFailure checkPayload(const tSectionHeader& header, std::size_t decodedSize, std::uint32_t crc) noexcept;

}  // namespace nKESTREL1400::nFirmware
