#include "sim/smbios/smBiosFieldTable.h"

#include <stdexcept>
#include <string>

namespace nKESTRELSIM::nSMBIOS {
namespace {

using enum tFieldKind;

constexpr tSmBiosField kFields[] = {
    // 0: BIOS information
    {0, "vendor", 0x04, kString},
    {0, "version", 0x05, kString},
    {0, "startingSegment", 0x06, kWord},
    {0, "releaseDate", 0x08, kString},
    {0, "romSize", 0x09, kByte},
    {0, "characteristics", 0x0A, kQword},
    {0, "characteristicsExtension1", 0x12, kByte},
    {0, "characteristicsExtension2", 0x13, kByte},
    {0, "biosMajorRelease", 0x14, kByte},
    {0, "biosMinorRelease", 0x15, kByte},
    {0, "firmwareMajorRelease", 0x16, kByte},
    {0, "firmwareMinorRelease", 0x17, kByte},
    {0, "extendedRomSize", 0x18, kWord},
    // 1: system information
    {1, "manufacturer", 0x04, kString},
    {1, "productName", 0x05, kString},
    {1, "version", 0x06, kString},
    {1, "serialNumber", 0x07, kString},
    {1, "uuid", 0x08, kBytes, 16},
    {1, "wakeUpType", 0x18, kByte},
    {1, "skuNumber", 0x19, kString},
    {1, "family", 0x1A, kString},
    // 4: processor information
    {4, "socketDesignation", 0x04, kString},
    {4, "processorType", 0x05, kByte},
    {4, "processorFamily", 0x06, kByte},
    {4, "manufacturer", 0x07, kString},
    {4, "processorId", 0x08, kQword},
    {4, "version", 0x10, kString},
    {4, "voltage", 0x11, kByte},
    {4, "externalClock", 0x12, kWord},
    {4, "maxSpeed", 0x14, kWord},
    {4, "currentSpeed", 0x16, kWord},
    {4, "status", 0x18, kByte},
    {4, "upgrade", 0x19, kByte},
    {4, "l1CacheHandle", 0x1A, kWord},
    {4, "l2CacheHandle", 0x1C, kWord},
    {4, "l3CacheHandle", 0x1E, kWord},
    {4, "serialNumber", 0x20, kString},
    {4, "assetTag", 0x21, kString},
    {4, "partNumber", 0x22, kString},
    {4, "coreCount", 0x23, kByte},
    {4, "coreEnabled", 0x24, kByte},
    {4, "threadCount", 0x25, kByte},
    {4, "characteristics", 0x26, kWord},
    {4, "processorFamily2", 0x28, kWord},
    {4, "coreCount2", 0x2A, kWord},
    {4, "coreEnabled2", 0x2C, kWord},
    {4, "threadCount2", 0x2E, kWord},
    // 16: physical memory array
    {16, "location", 0x04, kByte},
    {16, "use", 0x05, kByte},
    {16, "errorCorrection", 0x06, kByte},
    {16, "maximumCapacity", 0x07, kDword},
    {16, "errorInformationHandle", 0x0B, kWord},
    {16, "numberOfDevices", 0x0D, kWord},
    {16, "extendedMaximumCapacity", 0x0F, kQword},
    // 17: memory device
    {17, "physicalArrayHandle", 0x04, kWord},
    {17, "errorInformationHandle", 0x06, kWord},
    {17, "totalWidth", 0x08, kWord},
    {17, "dataWidth", 0x0A, kWord},
    {17, "size", 0x0C, kWord},
    {17, "formFactor", 0x0E, kByte},
    {17, "deviceSet", 0x0F, kByte},
    {17, "deviceLocator", 0x10, kString},
    {17, "bankLocator", 0x11, kString},
    {17, "memoryType", 0x12, kByte},
    {17, "typeDetail", 0x13, kWord},
    {17, "speed", 0x15, kWord},
    {17, "manufacturer", 0x17, kString},
    {17, "serialNumber", 0x18, kString},
    {17, "assetTag", 0x19, kString},
    {17, "partNumber", 0x1A, kString},
    {17, "attributes", 0x1B, kByte},
    {17, "extendedSize", 0x1C, kDword},
    {17, "configuredMemorySpeed", 0x20, kWord},
    {17, "minimumVoltage", 0x22, kWord},
    {17, "maximumVoltage", 0x24, kWord},
    {17, "configuredVoltage", 0x26, kWord},
    // Vendor structures: only fields whose role the library gives are named;
    // set the others by offset.
    {150, "versionMajor", 0x04, kByte},
    {150, "versionMinor", 0x05, kByte},
    {150, "model", 0x0C, kByte},
    {151, "modelText", 0x04, kString},
    {152, "entryCount", 0x04, kByte},
    {157, "textWriteSupport", 0x04, kByte},
    {157, "textWriteLevel", 0x05, kByte},
    {163, "entryCount", 0x06, kByte},
};

struct tTypeLength {
  std::uint8_t type;
  std::uint8_t length;
};

constexpr tTypeLength kLengths[] = {
    {0, 0x1A},   {1, 0x1B},   {4, 0x30},   {16, 0x17},  {17, 0x28},  {150, 0x0E}, {151, 0x05},
    {152, 0x0D}, {153, 0x07}, {154, 0x06}, {155, 0x06}, {156, 0x05}, {157, 0x06}, {158, 0x06},
    {159, 0x06}, {160, 0x06}, {161, 0x06}, {162, 0x06}, {163, 0x11}, {180, 0x08},
};

constexpr std::size_t widthOf(const tSmBiosField& field) noexcept {
  switch (field.kind) {
    case kWord:
      return 2;
    case kDword:
      return 4;
    case kQword:
      return 8;
    case kBytes:
      return field.width;
    default:
      return 1;
  }
}

const tSmBiosField& requireField(const tSmBiosStructure& structure, std::string_view name) {
  const tSmBiosField* field = findSmBiosField(structure.type(), name);
  if (field == nullptr) {
    throw std::invalid_argument("type " + std::to_string(structure.type()) + " has no field \"" + std::string(name) +
                                "\"");
  }
  return *field;
}

[[noreturn]] void wrongKind(const tSmBiosField& field) {
  throw std::invalid_argument("field \"" + std::string(field.name) + "\" of type " + std::to_string(field.type) +
                              " takes " + (field.kind == kString ? "a text" : "a number"));
}

}  // namespace

std::span<const tSmBiosField> smBiosFields() noexcept { return kFields; }

const tSmBiosField* findSmBiosField(std::uint8_t type, std::string_view name) noexcept {
  for (const tSmBiosField& field : kFields) {
    if (field.type == type && field.name == name) return &field;
  }
  return nullptr;
}

std::size_t defaultSmBiosLength(std::uint8_t type) noexcept {
  for (const tTypeLength& entry : kLengths) {
    if (entry.type == type) return entry.length;
  }
  return tSmBiosStructure::kHeaderLength;
}

tSmBiosStructure makeStructure(std::uint8_t type) { return tSmBiosStructure(type, defaultSmBiosLength(type)); }

void setField(tSmBiosStructure& structure, const tSmBiosField& field, std::uint64_t value) {
  const std::size_t width = widthOf(field);
  if (field.kind == kString || field.kind == kBytes) wrongKind(field);
  if (width < 8 && value >> (8 * width) != 0) {
    throw std::out_of_range("value " + std::to_string(value) + " does not fit field \"" + std::string(field.name) +
                            "\"");
  }
  switch (field.kind) {
    case kByte:
      structure.setByte(field.offset, static_cast<std::uint8_t>(value));
      break;
    case kWord:
      structure.setWord(field.offset, static_cast<std::uint16_t>(value));
      break;
    case kDword:
      structure.setDword(field.offset, static_cast<std::uint32_t>(value));
      break;
    default:
      structure.setQword(field.offset, value);
      break;
  }
}

void setField(tSmBiosStructure& structure, std::string_view name, std::uint64_t value) {
  setField(structure, requireField(structure, name), value);
}

void setField(tSmBiosStructure& structure, std::string_view name, std::string_view text) {
  const tSmBiosField& field = requireField(structure, name);
  if (field.kind != kString) wrongKind(field);
  structure.setString(field.offset, text);
}

}  // namespace nKESTRELSIM::nSMBIOS
