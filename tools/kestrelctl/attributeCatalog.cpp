#include "tools/kestrelctl/attributeCatalog.h"

#include <kestrel/kestrel.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "tools/kestrelctl/numberText.h"

namespace kestrelctl {
namespace {

using enum tIndexKind;
constexpr bool R = true;   // readable
constexpr bool W = true;   // writable
constexpr bool ro = false;

constexpr tAttribute kCatalog[] = {
    {"controller-model", KESTREL_ATTR_CONTROLLER_MODEL, none, R, ro, "controller model number (1-5)"},
    {"board-id", KESTREL_ATTR_BOARD_ID, instance, R, ro, "board identifier word"},
    {"board-revision", KESTREL_ATTR_BOARD_REVISION, instance, R, ro, "board revision byte"},
    {"memory-type", KESTREL_ATTR_MEMORY_TYPE, populated, R, ro, "memory type of a populated module (26 DDR4)",
     tTarget::controller, tEnumeration::memoryType},
    {"memory-speed", KESTREL_ATTR_MEMORY_SPEED, populated, R, ro, "speed of a populated module (MT/s)"},
    {"memory-configured-speed", KESTREL_ATTR_MEMORY_CONFIGURED_SPEED, populated, R, ro,
     "configured speed of a populated module (MT/s)"},
    {"memory-module-count", KESTREL_ATTR_MEMORY_MODULE_COUNT, none, R, ro, "number of populated memory modules"},
    {"memory-size", KESTREL_ATTR_MEMORY_SIZE, populated, R, ro,
     "size word of a populated module as SMBIOS stores it ('info' decodes it)"},
    {"processor-stepping", KESTREL_ATTR_PROCESSOR_STEPPING, instance, R, ro, "processor stepping"},
    {"processor-max-speed", KESTREL_ATTR_PROCESSOR_MAX_SPEED, instance, R, ro, "maximum processor speed (MHz)"},
    {"processor-thread-count", KESTREL_ATTR_PROCESSOR_THREAD_COUNT, instance, R, ro, "processor thread count"},
    {"device-value-1", KESTREL_ATTR_DEVICE_VALUE_1, none, R, ro, "value kept by the controller device"},
    {"bus-width", KESTREL_ATTR_BUS_WIDTH, instance, R, ro, "bus width (16, 21, 32 or 48)"},
    {"bus-info", KESTREL_ATTR_BUS_INFO, instance, R, ro, "bus information byte"},
    {"feature-enabled", KESTREL_ATTR_FEATURE_ENABLED, none, R, ro, "1 when the board enables the feature"},
    {"slot-count", KESTREL_ATTR_SLOT_COUNT, instance, R, ro, "number of slot entries"},
    {"slot-entry", KESTREL_ATTR_SLOT_ENTRY, entry, R, ro, "slot entry 0-3"},
    {"expansion-interface", KESTREL_ATTR_EXPANSION_INTERFACE, instance, R, ro, "1 ExpressCard, 2 GPIB, 3 Thunderbolt",
     tTarget::controller, tEnumeration::expansionInterface},
    {"bus-type", KESTREL_ATTR_BUS_TYPE, instance, R, ro, "1 PCI", tTarget::controller, tEnumeration::busType},
    {"chassis-byte-0", KESTREL_ATTR_CHASSIS_BYTE_0, instance, R, ro, "chassis byte 0"},
    {"chassis-byte-1", KESTREL_ATTR_CHASSIS_BYTE_1, instance, R, ro, "chassis byte 1"},
    {"device-value-2", KESTREL_ATTR_DEVICE_VALUE_2, none, R, ro, "value kept by the controller device"},
    {"text-write-support", KESTREL_ATTR_TEXT_WRITE_SUPPORT, instance, R, ro, "text write support byte"},
    {"device-value-3", KESTREL_ATTR_DEVICE_VALUE_3, none, R, ro, "value kept by the controller device"},
    {"interfaces-present", KESTREL_ATTR_INTERFACES_PRESENT, none, R, ro,
     "0x100000 controller interface, +0x200000 companion interface"},
    {"trigger-entry-count", KESTREL_ATTR_TRIGGER_ENTRY_COUNT, instance, R, ro, "number of trigger entries"},
    {"info-version", KESTREL_ATTR_INFO_VERSION, instance, R, ro, "controller information version"},
    {"system-manufacturer", KESTREL_ATTR_SYSTEM_MANUFACTURER, instance, R, ro, "system manufacturer"},
    {"product-name", KESTREL_ATTR_PRODUCT_NAME, instance, R, ro, "product name"},
    {"serial-number", KESTREL_ATTR_SERIAL_NUMBER, instance, R, ro, "system serial number"},
    {"system-version", KESTREL_ATTR_SYSTEM_VERSION, instance, R, ro, "system version"},
    {"bios-version", KESTREL_ATTR_BIOS_VERSION, instance, R, ro,
     "BIOS version record of the companion chip where the board has one (0.0.0f0 once a firmware update ran), "
     "else the BIOS version in SMBIOS"},
    {"smbios-bios-version", KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS, instance, R, ro,
     "BIOS version in SMBIOS, as the BIOS reported it at its start"},
    {"companion-firmware-version", KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, none, R, ro,
     "firmware version of the companion chip"},
    {"board-text", KESTREL_ATTR_BOARD_TEXT, instance, R, ro, "board text"},
    {"board-text-1", KESTREL_ATTR_BOARD_TEXT_1, instance, R, ro, "board text 1"},
    {"board-text-2", KESTREL_ATTR_BOARD_TEXT_2, instance, R, ro, "board text 2"},
    {"memory-manufacturer", KESTREL_ATTR_MEMORY_MANUFACTURER, populated, R, ro, "manufacturer of a module"},
    {"memory-part-number", KESTREL_ATTR_MEMORY_PART_NUMBER, populated, R, ro, "part number of a module"},
    {"memory-serial-number", KESTREL_ATTR_MEMORY_SERIAL_NUMBER, populated, R, ro, "serial number of a module"},
    {"memory-locator", KESTREL_ATTR_MEMORY_LOCATOR, populated, R, ro, "slot of a module"},
    {"processor-manufacturer", KESTREL_ATTR_PROCESSOR_MANUFACTURER, instance, R, ro, "processor manufacturer"},
    {"processor-version", KESTREL_ATTR_PROCESSOR_VERSION, instance, R, ro, "processor version"},
    {"controller-model-name", KESTREL_ATTR_CONTROLLER_MODEL_NAME, instance, R, ro, "controller model name"},
    {"slot-text", KESTREL_ATTR_SLOT_TEXT, entry, R, ro, "slot entry text 0-3"},
    {"expansion-text", KESTREL_ATTR_EXPANSION_TEXT, instance, R, ro, "expansion interface text"},
    {"expansion-text-2", KESTREL_ATTR_EXPANSION_TEXT_2, instance, R, ro, "expansion interface text 2"},
    {"bus-text", KESTREL_ATTR_BUS_TEXT, instance, R, ro, "bus text"},
    {"chassis-text", KESTREL_ATTR_CHASSIS_TEXT, instance, R, ro, "chassis text"},
    {"trigger-text", KESTREL_ATTR_TRIGGER_TEXT, entry, R, ro, "trigger entry text 0-4"},
    {"trigger-fields", KESTREL_ATTR_TRIGGER_FIELDS, entry, R, ro, "trigger entry fields 0-4"},
    {"user-text", KESTREL_ATTR_USER_TEXT, none, false, W,
     "write only: a text for the controller and the companion chip (a read of this id gives the system "
     "manufacturer)"},
    {"trigger-router-path", kTriggerRouterPathAttribute, none, R, ro, "device path of the trigger router"},
    {"watchdog-timeout", KESTREL_WATCHDOG_ATTR_TIMEOUT, none, R, W,
     "milliseconds from a watchdog start or pet to the expiry (at least 1)", tTarget::watchdog, tEnumeration::none,
     1},
    {"watchdog-expiry-action", KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION, none, R, W,
     "what an expiry does: notify (0), reset the controller (1), fire the watchdog trigger (2)", tTarget::watchdog,
     tEnumeration::expiryAction},
    {"watchdog-state", KESTREL_WATCHDOG_ATTR_STATE, none, R, ro, "0 stopped, 1 running, 2 expired",
     tTarget::watchdog, tEnumeration::watchdogState},
    {"watchdog-remaining", KESTREL_WATCHDOG_ATTR_REMAINING, none, R, ro,
     "milliseconds left before a running watchdog timer expires", tTarget::watchdog},
};

using tValueNames = std::span<const std::pair<std::uint32_t, const char*>>;

// Memory device types as SMBIOS numbers them.
constexpr std::pair<std::uint32_t, const char*> kMemoryTypes[] = {
    {0x01, "Other"}, {0x02, "Unknown"}, {0x03, "DRAM"}, {0x04, "EDRAM"}, {0x05, "VRAM"}, {0x06, "SRAM"},
    {0x07, "RAM"}, {0x08, "ROM"}, {0x09, "Flash"}, {0x0A, "EEPROM"}, {0x0B, "FEPROM"}, {0x0C, "EPROM"},
    {0x0D, "CDRAM"}, {0x0E, "3DRAM"}, {0x0F, "SDRAM"}, {0x10, "SGRAM"}, {0x11, "RDRAM"}, {0x12, "DDR"},
    {0x13, "DDR2"}, {0x14, "DDR2 FB-DIMM"}, {0x18, "DDR3"}, {0x19, "FBD2"}, {0x1A, "DDR4"}, {0x1B, "LPDDR"},
    {0x1C, "LPDDR2"}, {0x1D, "LPDDR3"}, {0x1E, "LPDDR4"}, {0x1F, "Logical non-volatile device"},
    {0x20, "HBM"}, {0x21, "HBM2"}, {0x22, "DDR5"}, {0x23, "LPDDR5"}, {0x24, "HBM3"},
};
constexpr std::pair<std::uint32_t, const char*> kExpansionInterfaces[] = {
    {1, "ExpressCard"}, {2, "GPIB"}, {3, "Thunderbolt"}};
constexpr std::pair<std::uint32_t, const char*> kBusTypes[] = {{1, "PCI"}};
constexpr std::pair<std::uint32_t, const char*> kWatchdogStates[] = {
    {KESTREL_WATCHDOG_STATE_STOPPED, "stopped"}, {KESTREL_WATCHDOG_STATE_RUNNING, "running"},
    {KESTREL_WATCHDOG_STATE_EXPIRED, "expired"}};
constexpr std::pair<std::uint32_t, const char*> kExpiryActions[] = {
    {KESTREL_WATCHDOG_EXPIRY_NOTIFY, "notify"}, {KESTREL_WATCHDOG_EXPIRY_RESET, "reset"},
    {KESTREL_WATCHDOG_EXPIRY_TRIGGER, "trigger"}};

tValueNames namesOf(tEnumeration enumeration) {
  switch (enumeration) {
    case tEnumeration::memoryType: return kMemoryTypes;
    case tEnumeration::expansionInterface: return kExpansionInterfaces;
    case tEnumeration::busType: return kBusTypes;
    case tEnumeration::watchdogState: return kWatchdogStates;
    case tEnumeration::expiryAction: return kExpiryActions;
    case tEnumeration::none: break;
  }
  return {};
}

// Names of earlier releases, still accepted.
constexpr std::pair<std::string_view, std::string_view> kFormerNames[] = {
    {"companion-bios-version", "companion-firmware-version"},
};

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const tAttribute> attributeCatalog() { return kCatalog; }

std::optional<tAttribute> findAttribute(std::string_view nameOrId, tTarget target) {
  for (const auto& [former, current] : kFormerNames) {
    if (nameOrId == former) nameOrId = current;
  }
  for (const auto& attribute : kCatalog) {
    if (nameOrId == attribute.name) return attribute;
  }
  const auto id = parseU32(nameOrId);
  if (!id) return std::nullopt;
  for (const auto& attribute : kCatalog) {
    if (attribute.id == *id && attribute.target == target) return attribute;
  }
  return tAttribute{"", *id, none, true, true, "", target};
}

std::string valueName(tEnumeration enumeration, std::uint32_t value) {
  for (const auto& [number, name] : namesOf(enumeration)) {
    if (number == value) return name;
  }
  return "";
}

std::optional<std::uint32_t> valueNamed(tEnumeration enumeration, std::string_view name) {
  for (const auto& [number, text] : namesOf(enumeration)) {
    if (sameLetters(name, text)) return number;
  }
  return std::nullopt;
}

std::string valueNames(tEnumeration enumeration) {
  const auto names = namesOf(enumeration);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) text += i + 1 == names.size() ? " or " : ", ";
    text += std::string(names[i].second) + " (" + std::to_string(names[i].first) + ")";
  }
  return text;
}

const char* indexLabel(tIndexKind kind) {
  switch (kind) {
    case tIndexKind::instance: return "instance";
    case tIndexKind::populated: return "module";
    case tIndexKind::entry: return "entry";
    case tIndexKind::none: break;
  }
  return "-";
}

}  // namespace kestrelctl
