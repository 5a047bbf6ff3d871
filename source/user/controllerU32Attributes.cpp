// Numeric attributes of the controller session.
#include <cstring>

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/attributeField.h"
#include "source/user/attributeId.h"
#include "source/user/controllerSmBiosFields.h"
#include "source/user/smBiosPermission.h"
#include "source/user/smbiosResult.h"
#include "source/user/tControllerUserSession.h"
#include "source/user/u32AttributeTable.h"

namespace nKESTREL1400 {
namespace {

using namespace nZESMBIOS_1_1;

constexpr const char* kFile = "tControllerUserSession";
constexpr kSourceLocation kNoCompanion{kFile, 390};
constexpr kSourceLocation kNotSupported{kFile, 408};
constexpr kSourceLocation kIndexNotZero{kFile, 414};
constexpr kSourceLocation kValueNotAllowed{kFile, 447};
constexpr kSourceLocation kFlagsUnreadable{kFile, 462};
constexpr kSourceLocation kNoController{kFile, 503};
constexpr kSourceLocation kDeviceValueOversized{kFile, 521};

// The slots of type 152: their count at offset 04h, one byte each from 09h.
constexpr tSmbiosEntries kSlotEntries{nControllerField::kSlotCount, 3, 1};
constexpr std::uint32_t kNotListed = 0xFFFFFFFF;
constexpr std::uint32_t kFieldTextSize = 256;

enum class tFieldKind : std::uint32_t { string = 0, byte = 1, word = 2, qword = 4 };

// What an SMBIOS field read gives besides the 32-bit value.
struct tFieldRead {
  std::uint64_t qword = 0;
  char text[kFieldTextSize] = {};
};

bool isAllowedBusWidth(std::uint32_t value) { return value == 16 || value == 21 || value == 32 || value == 48; }

std::uint32_t expansionInterfaceNumber(const char* text) {
  if (std::strcmp(text, "ExpressCard") == 0) return 1;
  if (std::strcmp(text, "GPIB") == 0) return 2;
  if (std::strcmp(text, "Thunderbolt") == 0) return 3;
  return kNotListed;
}

// Reads a field by its kind; -26934 for a kind no reader has.
std::int32_t readField(std::uint32_t selector, std::uint32_t instance, std::uint32_t& value, tFieldRead& read) {
  switch (static_cast<tFieldKind>((selector >> 16) & 0xF)) {
    case tFieldKind::byte: {
      std::uint8_t byte = 0;
      const std::int32_t result = smBiosReadByte(selector, instance, &byte);
      value = byte;
      return result;
    }
    case tFieldKind::word: {
      std::uint16_t word = 0;
      const std::int32_t result = smBiosReadWord(selector, instance, &word);
      value = word;
      return result;
    }
    case tFieldKind::qword:
      return smBiosReadQword(selector, instance, &read.qword);
    case tFieldKind::string: {
      std::uint32_t size = kFieldTextSize;
      return smBiosReadString(selector, instance, read.text, &size);
    }
  }
  return kestrelerr_attributeNotSupported;
}

// A value of the session itself, for index 0 only.
void refuseIndexNotZero(std::uint32_t id, tStatusReport& report) {
  if (attributeId::index(id) != 0) setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
}

// Another index still gets the model, with -26934.
void readControllerModel(std::uint32_t id, std::uint32_t& value, tStatusReport& report) {
  std::int32_t model = -1;
  const std::int32_t result = tControllerUserSession::controllerModel(model);
  if (result != 0) {
    setCode(report, result, kNotSupported);
    return;
  }
  value = static_cast<std::uint32_t>(model);
  refuseIndexNotZero(id, report);
}

// Another index still gets the count, with -26934.
void readPopulatedCount(const tControllerUserSession& session, std::uint32_t id, std::uint32_t& value,
                        tStatusReport& report) {
  value = session.populatedCount();
  refuseIndexNotZero(id, report);
}

void readInterfacesPresent(tControllerUserSession& session, std::uint32_t& value, tStatusReport& report) {
  if (!session.hostControllerProxy().isOpen()) {
    setCode(report, kestrelerr_deviceNotAvailable, kNoController);
    return;
  }
  value = KESTREL_INTERFACE_CONTROLLER | (session.martenProxy().isOpen() ? KESTREL_INTERFACE_COMPANION : 0);
}

// 1 when the board permits firmware updates.
void readFeatureFlags(std::uint32_t id, std::uint32_t& value, tStatusReport& report) {
  if (attributeId::index(id) != 0) {
    setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
    return;
  }
  const tPermission permission = readSmBiosPermission(nControllerField::kUpdatePermission);
  value = permission == tPermission::given ? 1 : 0;
  if (permission == tPermission::unreadable) setCode(report, kestrelerr_deviceNotAvailable, kFlagsUnreadable);
}

// A width is given only when the type 180 structure that describes the bus
// can be read.
void checkBusWidth(std::uint32_t value, tStatusReport& report) {
  std::uint8_t ignored = 0;
  mapSmbiosResult(smBiosReadByte(nControllerField::kBusInfo, 0, &ignored), report);
  if (report.code < 0) return;
  if (!isAllowedBusWidth(value)) setCode(report, kestrelerr_attributeNotSupported, kValueNotAllowed);
}

// The row's rule applied to the field just read.
void interpretField(tU32Rule rule, const tFieldRead& read, std::uint32_t& value, tStatusReport& report) {
  switch (rule) {
    case tU32Rule::lowNibble:
      value = static_cast<std::uint32_t>(read.qword & 0xF);
      return;
    case tU32Rule::busWidth:
      checkBusWidth(value, report);
      return;
    case tU32Rule::expansionInterface:
      value = expansionInterfaceNumber(read.text);
      return;
    case tU32Rule::busType:
      value = std::strcmp(read.text, "PCI") == 0 ? 1 : kNotListed;
      return;
    default:
      return;
  }
}

tIndexedField indexedField(const tU32Attribute& row) {
  if (row.index == tU32Index::populated) return {tFieldIndex::populated, row.selector, {}};
  if (row.rule == tU32Rule::slotEntry) return {tFieldIndex::entry, row.selector, kSlotEntries};
  return {tFieldIndex::instance, row.selector, {}};
}

}  // namespace

void tControllerUserSession::getAttributeU32(std::uint32_t id, std::uint32_t& value, tStatusReport& report) noexcept {
  if (report.code < 0) return;
  if (attributeId::source(id) == attributeId::kSourceCompanion) {
    if (attributeId::index(id) != 0 || !martenProxy_.isOpen()) {
      setCode(report, kestrelerr_deviceNotAvailable, kNoCompanion);
      return;
    }
    value = 0;
    readDeviceU32(martenProxy_, id, value, report);
    return;
  }
  value = 0;
  const tU32Attribute* row = nullptr;
  if ((id & attributeId::kBit27) != 0) {
    if ((attributeId::base(id) | attributeId::kBit27) == KESTREL_ATTR_INFO_VERSION)
      row = findU32Attribute(KESTREL_ATTR_INFO_VERSION);
  } else {
    row = findU32Attribute(attributeId::base(id));
  }
  if (row == nullptr) {
    setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
    companionFallback(id, value, report);
    return;
  }
  readU32Row(*row, id, value, report);
}

void tControllerUserSession::readU32Row(const tU32Attribute& row, std::uint32_t id, std::uint32_t& value,
                                        tStatusReport& report) noexcept {
  switch (row.rule) {
    case tU32Rule::controllerModel:
      return readControllerModel(id, value, report);
    case tU32Rule::populatedCount:
      return readPopulatedCount(*this, id, value, report);
    case tU32Rule::interfacesPresent:
      return readInterfacesPresent(*this, value, report);
    case tU32Rule::featureFlags:
      return readFeatureFlags(id, value, report);
    default:
      break;
  }
  if (row.index == tU32Index::zero && attributeId::index(id) != 0) {
    setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
    return;
  }
  if (row.source == tU32Source::device) {
    readDeviceU32(hostControllerProxy_, id, value, report);
    if (report.code < 0) companionFallback(id, value, report);
    return;
  }
  readSmbiosU32(row, id, value, report);
}

// A module that is not populated, and a field that cannot be read, leave the
// answer to the companion; an entry that does not exist does not.
void tControllerUserSession::readSmbiosU32(const tU32Attribute& row, std::uint32_t id, std::uint32_t& value,
                                           tStatusReport& report) noexcept {
  tSmbiosField field{};
  if (!locateField(indexedField(row), attributeId::index(id), kNotSupported, field, report)) {
    if (row.index == tU32Index::populated) companionFallback(id, value, report);
    return;
  }
  tFieldRead read;
  const std::int32_t result = readField(field.selector, field.instance, value, read);
  if (result == kestrelerr_attributeNotSupported) {
    setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
    return;
  }
  mapSmbiosResult(result, report);
  if (report.code < 0) {
    companionFallback(id, value, report);
    return;
  }
  interpretField(row.rule, read, value, report);
}

void tControllerUserSession::readDeviceU32(iInterfaceProxy_hostControllerBase& proxy, std::uint32_t id,
                                           std::uint32_t& value, tStatusReport& report) noexcept {
  tStatus local;
  std::uint32_t size = sizeof value;
  proxy.getAttribute(id, &value, size, local);
  // A value larger than the 4 bytes offered arrived cut short: not a value.
  if (local.isNotError() && size > sizeof value) local.setCode(brioerr_ioFailure, kDeviceValueOversized);
  local.copyToReport(report);
}

// When the controller cannot answer, the companion device may: its answer
// replaces the error.
void tControllerUserSession::companionFallback(std::uint32_t id, std::uint32_t& value,
                                               tStatusReport& report) noexcept {
  if (attributeId::index(id) != 0 || !martenProxy_.isOpen()) return;
  value = 0;
  tStatus local;
  std::uint32_t size = sizeof value;
  martenProxy_.getAttribute(id, &value, size, local);
  if (local.isNotError()) forceCode(report, 0);
}

void tControllerUserSession::setAttributeU32(std::uint32_t id, std::uint32_t value, tStatusReport& report) noexcept {
  if (report.code < 0) return;
  iInterfaceProxy_hostControllerBase* target = &hostControllerProxy_;
  bool open = hostControllerProxy_.isOpen();
  if (attributeId::source(id) == attributeId::kSourceCompanion) {
    target = &martenProxy_;
    open = martenProxy_.isOpen();
  }
  if (!open) {
    setCode(report, kestrelerr_deviceNotAvailable, kNoCompanion);
    return;
  }
  tStatus local;
  const std::uint32_t copy = value;
  target->setAttribute(id, &copy, sizeof copy, local);
  local.copyToReport(report);
}

void tControllerUserSession::getAttributeI32(std::uint32_t, std::int32_t&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::getAttributeDBL(std::uint32_t, double&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

}  // namespace nKESTREL1400
