// The controller's text attributes as data.
#pragma once

#include <cstdint>

#include "kestrel/kestrel.h"
#include "source/user/attributeField.h"
#include "source/user/controllerSmBiosFields.h"

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

inline constexpr tTextAttribute kTextAttributes[] = {
    {KESTREL_ATTR_SYSTEM_MANUFACTURER, tFieldIndex::instance, 0x0104, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_PRODUCT_NAME, tFieldIndex::instance, 0x0105, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_SERIAL_NUMBER, tFieldIndex::instance, 0x0107, 0, 0, 0, tTextRule::notApplicable},
    {KESTREL_ATTR_SYSTEM_VERSION, tFieldIndex::instance, 0x0106, 0, 0, 0, tTextRule::differsFromBios},
    {KESTREL_ATTR_BIOS_VERSION, tFieldIndex::instance, 0x0005, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_BOARD_TEXT, tFieldIndex::instance, 0x960D, 0, 0, 0, tTextRule::boardText},
    {KESTREL_ATTR_BOARD_TEXT_1, tFieldIndex::instance, 0x9609, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_BOARD_TEXT_2, tFieldIndex::instance, 0x960A, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_MEMORY_MANUFACTURER, tFieldIndex::populated, 0x1117, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_MEMORY_PART_NUMBER, tFieldIndex::populated, 0x111A, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_MEMORY_SERIAL_NUMBER, tFieldIndex::populated, 0x1118, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_MEMORY_LOCATOR, tFieldIndex::populated, 0x1110, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_PROCESSOR_MANUFACTURER, tFieldIndex::instance, 0x0407, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_PROCESSOR_VERSION, tFieldIndex::instance, 0x0410, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_CONTROLLER_MODEL_NAME, tFieldIndex::instance, nControllerField::kModelText, 0, 0, 0,
     tTextRule::normalized},
    {KESTREL_ATTR_SLOT_TEXT, tFieldIndex::entry, 0x9805, 1, 3, nControllerField::kSlotCount, tTextRule::normalized},
    {KESTREL_ATTR_EXPANSION_TEXT, tFieldIndex::instance, 0x9905, 0, 0, 0, tTextRule::normalized},
    {KESTREL_ATTR_EXPANSION_TEXT_2, tFieldIndex::instance, 0x9906, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_BUS_TEXT, tFieldIndex::instance, 0x9A05, 0, 0, 0, tTextRule::normalized},
    {KESTREL_ATTR_CHASSIS_TEXT, tFieldIndex::instance, 0x9C04, 0, 0, 0, tTextRule::plain},
    {KESTREL_ATTR_TRIGGER_TEXT, tFieldIndex::entry, 0xA307, 2, 4, nControllerField::kTriggerEntryCount,
     tTextRule::normalized},
    {KESTREL_ATTR_TRIGGER_FIELDS, tFieldIndex::entry, 0xA308, 2, 4, nControllerField::kTriggerEntryCount,
     tTextRule::normalizedPerComma},
};

constexpr const tTextAttribute* findTextAttribute(std::uint32_t baseId) {
  for (const auto& row : kTextAttributes) {
    if (row.baseId == baseId) return &row;
  }
  return nullptr;
}

}  // namespace nKESTREL1400
