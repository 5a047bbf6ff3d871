// The controller's text attributes as data.
#pragma once

#include <cstdint>

#include "source/user/attributeField.h"

namespace nKESTREL1400 {


enum class tTextRule : std::uint8_t {
  plain,
  notApplicable,          // "Not Applicable" is no value
  differsFromBios,        // a value equal to the BIOS version is no value
  boardText,              // needs information version 7 or later; "Not Applicable" is no value
  normalized,             // "5:00" becomes "05:00"
  normalizedPerComma,     // the same for every comma-separated field
};

struct tTextAttribute {
  std::uint32_t baseId;
  tFieldIndex index;
  std::uint32_t selector;      // the text's SMBIOS selector (entry 0 for entry rows)
  std::uint32_t entryStep;     // selector distance between entries
  std::uint32_t lastEntry;     // highest entry number
  std::uint32_t countSelector; // byte holding the entry count
  tTextRule rule;
};

inline constexpr std::uint32_t kBiosVersionAttribute = 0x10000400;
inline constexpr std::uint32_t kUserTextAttribute = 0x18000000;

inline constexpr tTextAttribute kTextAttributes[] = {
    {0x10000000, tFieldIndex::instance, 0x0104, 0, 0, 0, tTextRule::plain},
    {0x10000100, tFieldIndex::instance, 0x0105, 0, 0, 0, tTextRule::plain},
    {0x10000200, tFieldIndex::instance, 0x0107, 0, 0, 0, tTextRule::notApplicable},
    {0x10000300, tFieldIndex::instance, 0x0106, 0, 0, 0, tTextRule::differsFromBios},
    {kBiosVersionAttribute, tFieldIndex::instance, 0x0005, 0, 0, 0, tTextRule::plain},
    {0x10000700, tFieldIndex::instance, 0x960D, 0, 0, 0, tTextRule::boardText},
    {0x10006400, tFieldIndex::instance, 0x9609, 0, 0, 0, tTextRule::plain},
    {0x10006500, tFieldIndex::instance, 0x960A, 0, 0, 0, tTextRule::plain},
    {0x1000CC00, tFieldIndex::populated, 0x1117, 0, 0, 0, tTextRule::plain},
    {0x1000CD00, tFieldIndex::populated, 0x111A, 0, 0, 0, tTextRule::plain},
    {0x1000CE00, tFieldIndex::populated, 0x1118, 0, 0, 0, tTextRule::plain},
    {0x1000CF00, tFieldIndex::populated, 0x1110, 0, 0, 0, tTextRule::plain},
    {0x10012C00, tFieldIndex::instance, 0x0407, 0, 0, 0, tTextRule::plain},
    {0x10012D00, tFieldIndex::instance, 0x0410, 0, 0, 0, tTextRule::plain},
    {0x1001F400, tFieldIndex::instance, 0x9704, 0, 0, 0, tTextRule::normalized},
    {0x10025900, tFieldIndex::entry, 0x9805, 1, 3, 0x19804, tTextRule::normalized},
    {0x1002BD00, tFieldIndex::instance, 0x9905, 0, 0, 0, tTextRule::normalized},
    {0x1002BE00, tFieldIndex::instance, 0x9906, 0, 0, 0, tTextRule::plain},
    {0x10032100, tFieldIndex::instance, 0x9A05, 0, 0, 0, tTextRule::normalized},
    {0x10038400, tFieldIndex::instance, 0x9C04, 0, 0, 0, tTextRule::plain},
    {0x1006A500, tFieldIndex::entry, 0xA307, 2, 4, 0x1A306, tTextRule::normalized},
    {0x1006A600, tFieldIndex::entry, 0xA308, 2, 4, 0x1A306, tTextRule::normalizedPerComma},
};

constexpr const tTextAttribute* findTextAttribute(std::uint32_t baseId) {
  for (const auto& row : kTextAttributes) {
    if (row.baseId == baseId) return &row;
  }
  return nullptr;
}

}  // namespace nKESTREL1400
