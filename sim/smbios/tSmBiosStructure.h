// One SMBIOS structure under construction: a formatted area (header
// included, offsets as in the structure) and its string-set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nKESTRELSIM::nSMBIOS {

class tSmBiosStructure {
 public:
  static constexpr std::size_t kHeaderLength = 4;
  static constexpr std::size_t kMaxLength = 255;

  // A structure of the type with a formatted area of `length` bytes (at
  // least the header), zero-filled.
  explicit tSmBiosStructure(std::uint8_t type, std::size_t length = kHeaderLength);

  std::uint8_t type() const noexcept { return formatted_[0]; }
  std::size_t length() const noexcept { return formatted_.size(); }
  // Changes the formatted length, zero-filling or cutting off the end.
  tSmBiosStructure& setLength(std::size_t length);

  // Field setters grow the formatted area to cover the field. Offsets count
  // from the structure's first byte; the header (offsets 0 to 3) is the
  // builder's and cannot be set this way.
  tSmBiosStructure& setByte(std::size_t offset, std::uint8_t value);
  tSmBiosStructure& setWord(std::size_t offset, std::uint16_t value);
  tSmBiosStructure& setDword(std::size_t offset, std::uint32_t value);
  tSmBiosStructure& setQword(std::size_t offset, std::uint64_t value);
  tSmBiosStructure& setBytes(std::size_t offset, const std::vector<std::uint8_t>& bytes);
  // Appends the text to the string-set and stores its number at the offset;
  // an empty text stores string number 0 (no string).
  tSmBiosStructure& setString(std::size_t offset, std::string_view text);
  // Appends a string without referring to it; returns its number.
  std::uint8_t addString(std::string_view text);

  std::uint8_t byteAt(std::size_t offset) const { return formatted_.at(offset); }
  // The formatted area after the header (offset 4 on).
  std::vector<std::uint8_t> body() const { return {formatted_.begin() + kHeaderLength, formatted_.end()}; }
  const std::vector<std::string>& strings() const noexcept { return strings_; }

  // Appends the structure's bytes (header with this handle, formatted area,
  // string-set and its terminating zero bytes).
  void appendTo(std::vector<std::uint8_t>& table, std::uint16_t handle) const;

 private:
  void setLittleEndian(std::size_t offset, std::uint64_t value, std::size_t width);

  std::vector<std::uint8_t> formatted_;
  std::vector<std::string> strings_;
};

}  // namespace nKESTRELSIM::nSMBIOS
