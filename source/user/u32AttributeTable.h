// The controller's numeric attributes as data: where each value comes from
// and what is done with it.
#pragma once

#include <cstdint>
#include <span>

#include "kestrel/kestrel.h"
#include "source/user/controllerSmBiosFields.h"

namespace nKESTREL1400 {

// How the low eight bits of the id are used.
enum class tU32Index : std::uint8_t {
  instance,   // the SMBIOS instance
  populated,  // the n-th populated memory module
  zero,       // must be 0; another index is refused without companion fallback
  entry,      // an entry number, checked by the row's rule
  unused,
};

enum class tU32Source : std::uint8_t { smbios, device, session };

enum class tU32Rule : std::uint8_t {
  asRead,
  controllerModel,        // the model from SMBIOS
  populatedCount,         // the number of populated memory modules
  lowNibble,              // low 4 bits of a quad word
  busWidth,               // 16, 21, 32 or 48, checked against the type 180 structure
  featureFlags,           // 1 when the type 158 flags enable the feature
  slotEntry,              // type 152 entries, limited by the entry count
  expansionInterface,     // text to a number
  busType,                // text to a number
  interfacesPresent,      // which device interfaces the session holds
};

struct tU32Attribute {
  std::uint32_t baseId;
  tU32Index index;
  tU32Source source;
  std::uint32_t selector;  // SMBIOS field, for SMBIOS rows
  tU32Rule rule;
};

inline constexpr tU32Attribute kU32Attributes[] = {
    {KESTREL_ATTR_CONTROLLER_MODEL, tU32Index::zero, tU32Source::session, 0, tU32Rule::controllerModel},
    {KESTREL_ATTR_BOARD_ID, tU32Index::instance, tU32Source::smbios, 0x29606, tU32Rule::asRead},
    {KESTREL_ATTR_BOARD_REVISION, tU32Index::instance, tU32Source::smbios, 0x1960B, tU32Rule::asRead},
    {KESTREL_ATTR_MEMORY_TYPE, tU32Index::populated, tU32Source::smbios, 0x11112, tU32Rule::asRead},
    {KESTREL_ATTR_MEMORY_SPEED, tU32Index::populated, tU32Source::smbios, 0x21115, tU32Rule::asRead},
    {KESTREL_ATTR_MEMORY_CONFIGURED_SPEED, tU32Index::populated, tU32Source::smbios, 0x21120, tU32Rule::asRead},
    {KESTREL_ATTR_MEMORY_MODULE_COUNT, tU32Index::zero, tU32Source::session, 0, tU32Rule::populatedCount},
    {KESTREL_ATTR_MEMORY_SIZE, tU32Index::populated, tU32Source::smbios, nControllerField::kMemoryDeviceSize,
     tU32Rule::asRead},
    {KESTREL_ATTR_PROCESSOR_STEPPING, tU32Index::instance, tU32Source::smbios, 0x40408, tU32Rule::lowNibble},
    {KESTREL_ATTR_PROCESSOR_MAX_SPEED, tU32Index::instance, tU32Source::smbios, 0x20414, tU32Rule::asRead},
    {KESTREL_ATTR_PROCESSOR_THREAD_COUNT, tU32Index::instance, tU32Source::smbios, 0x10425, tU32Rule::asRead},
    {KESTREL_ATTR_DEVICE_VALUE_1, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {KESTREL_ATTR_BUS_WIDTH, tU32Index::instance, tU32Source::smbios, 0x1B407, tU32Rule::busWidth},
    {KESTREL_ATTR_BUS_INFO, tU32Index::instance, tU32Source::smbios, nControllerField::kBusInfo, tU32Rule::asRead},
    {KESTREL_ATTR_FEATURE_ENABLED, tU32Index::zero, tU32Source::session, 0, tU32Rule::featureFlags},
    {KESTREL_ATTR_SLOT_COUNT, tU32Index::instance, tU32Source::smbios, nControllerField::kSlotCount, tU32Rule::asRead},
    {KESTREL_ATTR_SLOT_ENTRY, tU32Index::entry, tU32Source::smbios, 0x19809, tU32Rule::slotEntry},
    {KESTREL_ATTR_EXPANSION_INTERFACE, tU32Index::instance, tU32Source::smbios, 0x9904, tU32Rule::expansionInterface},
    {KESTREL_ATTR_BUS_TYPE, tU32Index::instance, tU32Source::smbios, 0x9A04, tU32Rule::busType},
    {KESTREL_ATTR_CHASSIS_BYTE_0, tU32Index::instance, tU32Source::smbios, nControllerField::kChassisByte,
     tU32Rule::asRead},
    {KESTREL_ATTR_CHASSIS_BYTE_1, tU32Index::instance, tU32Source::smbios, 0x19F05, tU32Rule::asRead},
    {KESTREL_ATTR_DEVICE_VALUE_2, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {KESTREL_ATTR_TEXT_WRITE_SUPPORT, tU32Index::instance, tU32Source::smbios, nControllerField::kTextWritePermission,
     tU32Rule::asRead},
    {KESTREL_ATTR_DEVICE_VALUE_3, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {KESTREL_ATTR_INTERFACES_PRESENT, tU32Index::unused, tU32Source::session, 0, tU32Rule::interfacesPresent},
    {KESTREL_ATTR_TRIGGER_ENTRY_COUNT, tU32Index::instance, tU32Source::smbios, nControllerField::kTriggerEntryCount,
     tU32Rule::asRead},
    {KESTREL_ATTR_INFO_VERSION, tU32Index::instance, tU32Source::smbios, nControllerField::kInfoVersionMajor,
     tU32Rule::asRead},
};

constexpr const tU32Attribute* findU32Attribute(std::uint32_t baseId) {
  for (const auto& row : kU32Attributes) {
    if (row.baseId == baseId) return &row;
  }
  return nullptr;
}

}  // namespace nKESTREL1400
