#include "tools/kestrelctl/attributeCatalog.h"

#include <kestrel/kestrel.h>

#include <cstdio>

#include "tools/kestrelctl/numberText.h"

namespace kestrelctl {
namespace {

using enum tIndexKind;

constexpr tAttribute kCatalog[] = {
    {"controller-model", KESTREL_ATTR_CONTROLLER_MODEL, none, false, "controller model number (1-5)"},
    {"board-id", KESTREL_ATTR_BOARD_ID, instance, false, "board identifier word"},
    {"board-revision", KESTREL_ATTR_BOARD_REVISION, instance, false, "board revision byte"},
    {"memory-type", KESTREL_ATTR_MEMORY_TYPE, populated, false, "memory type of a populated module"},
    {"memory-speed", KESTREL_ATTR_MEMORY_SPEED, populated, false, "speed of a populated module (MT/s)"},
    {"memory-configured-speed", KESTREL_ATTR_MEMORY_CONFIGURED_SPEED, populated, false,
     "configured speed of a populated module (MT/s)"},
    {"memory-module-count", KESTREL_ATTR_MEMORY_MODULE_COUNT, none, false, "number of populated memory modules"},
    {"memory-size", KESTREL_ATTR_MEMORY_SIZE, populated, false, "size word of a populated module"},
    {"processor-stepping", KESTREL_ATTR_PROCESSOR_STEPPING, instance, false, "processor stepping"},
    {"processor-max-speed", KESTREL_ATTR_PROCESSOR_MAX_SPEED, instance, false, "maximum processor speed (MHz)"},
    {"processor-thread-count", KESTREL_ATTR_PROCESSOR_THREAD_COUNT, instance, false, "processor thread count"},
    {"device-value-1", KESTREL_ATTR_DEVICE_VALUE_1, none, true, "controller device value"},
    {"bus-width", KESTREL_ATTR_BUS_WIDTH, instance, false, "bus width (16, 21, 32 or 48)"},
    {"bus-info", KESTREL_ATTR_BUS_INFO, instance, false, "bus information byte"},
    {"feature-enabled", KESTREL_ATTR_FEATURE_ENABLED, none, false, "1 when the board enables the feature"},
    {"slot-count", KESTREL_ATTR_SLOT_COUNT, instance, false, "number of slot entries"},
    {"slot-entry", KESTREL_ATTR_SLOT_ENTRY, entry, false, "slot entry 0-3"},
    {"expansion-interface", KESTREL_ATTR_EXPANSION_INTERFACE, instance, false,
     "1 ExpressCard, 2 GPIB, 3 Thunderbolt"},
    {"bus-type", KESTREL_ATTR_BUS_TYPE, instance, false, "1 PCI"},
    {"chassis-byte-0", KESTREL_ATTR_CHASSIS_BYTE_0, instance, false, "chassis byte 0"},
    {"chassis-byte-1", KESTREL_ATTR_CHASSIS_BYTE_1, instance, false, "chassis byte 1"},
    {"device-value-2", KESTREL_ATTR_DEVICE_VALUE_2, none, true, "controller device value"},
    {"text-write-support", KESTREL_ATTR_TEXT_WRITE_SUPPORT, instance, false, "text write support byte"},
    {"device-value-3", KESTREL_ATTR_DEVICE_VALUE_3, none, true, "controller device value"},
    {"interfaces-present", KESTREL_ATTR_INTERFACES_PRESENT, none, false,
     "0x100000 controller interface, +0x200000 companion interface"},
    {"trigger-entry-count", KESTREL_ATTR_TRIGGER_ENTRY_COUNT, instance, false, "number of trigger entries"},
    {"info-version", KESTREL_ATTR_INFO_VERSION, instance, false, "controller information version"},
    {"system-manufacturer", KESTREL_ATTR_SYSTEM_MANUFACTURER, instance, false, "system manufacturer"},
    {"product-name", KESTREL_ATTR_PRODUCT_NAME, instance, false, "product name"},
    {"serial-number", KESTREL_ATTR_SERIAL_NUMBER, instance, false, "system serial number"},
    {"system-version", KESTREL_ATTR_SYSTEM_VERSION, instance, false, "system version"},
    {"bios-version", KESTREL_ATTR_BIOS_VERSION, instance, false,
     "companion firmware version when the companion exists, else the BIOS version"},
    {"smbios-bios-version", KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS, instance, false,
     "BIOS version from SMBIOS"},
    {"companion-firmware-version", KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, none, false,
     "firmware version of the companion chip"},
    {"board-text", KESTREL_ATTR_BOARD_TEXT, instance, false, "board text"},
    {"board-text-1", KESTREL_ATTR_BOARD_TEXT_1, instance, false, "board text 1"},
    {"board-text-2", KESTREL_ATTR_BOARD_TEXT_2, instance, false, "board text 2"},
    {"memory-manufacturer", KESTREL_ATTR_MEMORY_MANUFACTURER, populated, false, "manufacturer of a module"},
    {"memory-part-number", KESTREL_ATTR_MEMORY_PART_NUMBER, populated, false, "part number of a module"},
    {"memory-serial-number", KESTREL_ATTR_MEMORY_SERIAL_NUMBER, populated, false, "serial number of a module"},
    {"memory-locator", KESTREL_ATTR_MEMORY_LOCATOR, populated, false, "slot of a module"},
    {"processor-manufacturer", KESTREL_ATTR_PROCESSOR_MANUFACTURER, instance, false, "processor manufacturer"},
    {"processor-version", KESTREL_ATTR_PROCESSOR_VERSION, instance, false, "processor version"},
    {"controller-model-name", KESTREL_ATTR_CONTROLLER_MODEL_NAME, instance, false, "controller model name"},
    {"slot-text", KESTREL_ATTR_SLOT_TEXT, entry, false, "slot entry text 0-3"},
    {"expansion-text", KESTREL_ATTR_EXPANSION_TEXT, instance, false, "expansion interface text"},
    {"expansion-text-2", KESTREL_ATTR_EXPANSION_TEXT_2, instance, false, "expansion interface text 2"},
    {"bus-text", KESTREL_ATTR_BUS_TEXT, instance, false, "bus text"},
    {"chassis-text", KESTREL_ATTR_CHASSIS_TEXT, instance, false, "chassis text"},
    {"trigger-text", KESTREL_ATTR_TRIGGER_TEXT, entry, false, "trigger entry text 0-4"},
    {"trigger-fields", KESTREL_ATTR_TRIGGER_FIELDS, entry, false, "trigger entry fields 0-4"},
    {"user-text", KESTREL_ATTR_USER_TEXT, none, true, "user text, kept by the controller and the companion"},
    {"trigger-router-path", kTriggerRouterPathAttribute, none, false, "device path of the trigger router"},
};

}  // namespace

std::span<const tAttribute> attributeCatalog() { return kCatalog; }

std::optional<tAttribute> findAttribute(std::string_view nameOrId) {
  for (const auto& attribute : kCatalog) {
    if (nameOrId == attribute.name) return attribute;
  }
  const auto id = parseU32(nameOrId);
  if (!id) return std::nullopt;
  for (const auto& attribute : kCatalog) {
    if (attribute.id == *id) return attribute;
  }
  return tAttribute{"", *id, none, true, ""};
}

std::string attributeLabel(std::uint32_t id) {
  for (const auto& attribute : kCatalog) {
    if (attribute.id == id) return attribute.name;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

}  // namespace kestrelctl
