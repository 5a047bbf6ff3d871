#include "sim/smbios/tSmBiosStructure.h"

#include <stdexcept>

namespace nKESTRELSIM::nSMBIOS {

tSmBiosStructure::tSmBiosStructure(std::uint8_t type, std::size_t length) : formatted_(kHeaderLength, 0) {
  formatted_[0] = type;
  setLength(length);
}

tSmBiosStructure& tSmBiosStructure::setLength(std::size_t length) {
  if (length < kHeaderLength || length > kMaxLength) {
    throw std::out_of_range("SMBIOS structure length " + std::to_string(length) + " outside 4 to 255");
  }
  formatted_.resize(length, 0);
  formatted_[1] = static_cast<std::uint8_t>(length);
  return *this;
}

void tSmBiosStructure::setLittleEndian(std::size_t offset, std::uint64_t value, std::size_t width) {
  if (offset < kHeaderLength || offset + width > kMaxLength) {
    throw std::out_of_range("SMBIOS field at offset " + std::to_string(offset) + " outside 4 to 255");
  }
  if (offset + width > formatted_.size()) setLength(offset + width);
  for (std::size_t i = 0; i < width; ++i) formatted_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

tSmBiosStructure& tSmBiosStructure::setByte(std::size_t offset, std::uint8_t value) {
  setLittleEndian(offset, value, 1);
  return *this;
}

tSmBiosStructure& tSmBiosStructure::setWord(std::size_t offset, std::uint16_t value) {
  setLittleEndian(offset, value, 2);
  return *this;
}

tSmBiosStructure& tSmBiosStructure::setDword(std::size_t offset, std::uint32_t value) {
  setLittleEndian(offset, value, 4);
  return *this;
}

tSmBiosStructure& tSmBiosStructure::setQword(std::size_t offset, std::uint64_t value) {
  setLittleEndian(offset, value, 8);
  return *this;
}

tSmBiosStructure& tSmBiosStructure::setBytes(std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) setByte(offset + i, bytes[i]);
  return *this;
}

std::uint8_t tSmBiosStructure::addString(std::string_view text) {
  if (text.empty() || text.find('\0') != std::string_view::npos) {
    throw std::invalid_argument("an SMBIOS string must be non-empty and hold no NUL");
  }
  if (strings_.size() >= 255) throw std::out_of_range("an SMBIOS string-set holds at most 255 strings");
  strings_.emplace_back(text);
  return static_cast<std::uint8_t>(strings_.size());
}

tSmBiosStructure& tSmBiosStructure::setString(std::size_t offset, std::string_view text) {
  return setByte(offset, text.empty() ? 0 : addString(text));
}

void tSmBiosStructure::appendTo(std::vector<std::uint8_t>& table, std::uint16_t handle) const {
  const std::size_t start = table.size();
  table.insert(table.end(), formatted_.begin(), formatted_.end());
  table[start + 2] = static_cast<std::uint8_t>(handle);
  table[start + 3] = static_cast<std::uint8_t>(handle >> 8);
  for (const std::string& text : strings_) {
    table.insert(table.end(), text.begin(), text.end());
    table.push_back(0);
  }
  // A set ends with an empty string; an empty set is two zero bytes.
  table.push_back(0);
  if (strings_.empty()) table.push_back(0);
}

}  // namespace nKESTRELSIM::nSMBIOS
