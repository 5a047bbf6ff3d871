#include "sim/record/redaction.h"

#include <algorithm>
#include <cstring>

#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr std::string_view kSmBiosDumpPrefix = "/run/zesvc/smbios/";
// Bits 31-28 of an attribute id give its value type; 1 is text.
constexpr bool isTextAttribute(std::uint32_t id) { return (id >> 28) == 1; }
constexpr std::size_t kStructureHeader = 4;

// A string-number field of an SMBIOS structure that names the unit itself.
struct tIdentityField {
  std::uint8_t type;
  std::uint8_t offset;
};

constexpr tIdentityField kIdentityFields[] = {
    {1, 0x07},                              // system serial number
    {2, 0x07}, {2, 0x08},                   // baseboard serial number, asset tag
    {3, 0x07}, {3, 0x08},                   // chassis serial number, asset tag
    {4, 0x20}, {4, 0x21}, {4, 0x22},        // processor serial, asset tag, part number
    {17, 0x18}, {17, 0x19}, {17, 0x1A},     // memory serial, asset tag, part number
};
constexpr std::uint8_t kSystemType = 1;
constexpr std::size_t kUuidOffset = 0x08;
constexpr std::size_t kUuidSize = 16;

void blankText(std::span<std::uint8_t> bytes) {
  for (auto& byte : bytes) {
    if (byte == 0) break;
    byte = 'x';
  }
}

bool identifies(std::uint8_t type, std::span<const std::uint8_t> formatted, std::uint8_t number) {
  for (const auto& field : kIdentityFields) {
    if (field.type == type && field.offset < formatted.size() && formatted[field.offset] == number) return true;
  }
  return false;
}

// Redacts one structure's strings; the offset of the next structure, or
// the table's size when the structure does not end inside it.
std::size_t redactStructure(std::span<std::uint8_t> table, std::size_t at) {
  const std::uint8_t type = table[at];
  const std::size_t length = table[at + 1];
  if (length < kStructureHeader || at + length > table.size()) return table.size();
  const auto formatted = table.subspan(at, length);
  if (type == kSystemType && length >= kUuidOffset + kUuidSize) {
    std::fill_n(formatted.begin() + kUuidOffset, kUuidSize, std::uint8_t{0});
  }
  std::size_t cursor = at + length;
  std::uint8_t number = 1;
  while (cursor < table.size() && table[cursor] != 0) {
    const auto end = std::find(table.begin() + static_cast<std::ptrdiff_t>(cursor), table.end(), std::uint8_t{0});
    const std::size_t stop = static_cast<std::size_t>(end - table.begin());
    if (identifies(type, formatted, number)) blankText(table.subspan(cursor, stop - cursor));
    cursor = stop + 1;
    ++number;
  }
  // A structure without strings ends with two NULs.
  return cursor + (number == 1 ? 2 : 1);
}

std::uint32_t inputWord(const tMemoryRegion* input, std::size_t offset) {
  std::uint32_t value = 0;
  if (input != nullptr && input->before && input->before->size() >= offset + sizeof value) {
    std::memcpy(&value, input->before->data() + offset, sizeof value);
  }
  return value;
}

void blankRegion(tMemoryRegion& region, bool table) {
  for (auto* bytes : {&region.before, &region.after}) {
    if (!*bytes) continue;
    if (table) {
      redactSmBiosTable(**bytes);
    } else {
      blankText(**bytes);
    }
  }
}

}  // namespace

void redactSmBiosTable(std::span<std::uint8_t> table) {
  std::size_t at = 0;
  while (at + kStructureHeader <= table.size()) at = redactStructure(table, at);
}

void redactSmBiosDump(std::vector<std::uint8_t>& dump) {
  const auto end = std::find(dump.begin(), dump.end(), std::uint8_t{0});
  blankText(dump);
  const std::size_t tableAt = static_cast<std::size_t>(end - dump.begin()) + 1 + sizeof(std::uint16_t);
  if (tableAt <= dump.size()) redactSmBiosTable(std::span(dump).subspan(tableAt));
}

void redactDriverFile(std::string_view path, std::vector<std::uint8_t>& content) {
  if (path.substr(0, kSmBiosDumpPrefix.size()) == kSmBiosDumpPrefix) redactSmBiosDump(content);
}

void redactRequest(std::uint32_t code, std::span<tMemoryRegion> regions) {
  const tMemoryRegion* input = nullptr;
  for (const auto& region : regions) {
    if (region.what == "input") input = &region;
  }
  for (auto& region : regions) {
    if (region.what != "buffer") continue;
    if (code == kGetSmBiosData) {
      blankRegion(region, region.field == offsetof(tGetSmBiosDataInput, tableAddress));
    } else if (code == kGetAttribute || code == kSetAttribute) {
      const std::uint32_t id = inputWord(input, offsetof(tAttributeInput, attributeId));
      if (isTextAttribute(id)) blankRegion(region, false);
    }
  }
}

}  // namespace nKESTRELSIM
