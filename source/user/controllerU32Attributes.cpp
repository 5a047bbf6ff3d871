// Numeric attributes of the controller session.
#include <cstring>

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/attributeId.h"
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

constexpr std::uint32_t kBusInfoByte = 0x1B406;      // type 180, offset 06h
constexpr std::uint32_t kFeatureByte = 0x19E04;      // type 158, offset 04h
constexpr std::uint32_t kFeatureLimitByte = 0x19E05; // type 158, offset 05h
constexpr std::uint32_t kSlotCountByte = 0x19804;    // type 152, offset 04h
constexpr std::uint32_t kLastSlotEntry = 3;
constexpr std::uint32_t kControllerPresent = 0x100000;
constexpr std::uint32_t kCompanionPresent = 0x200000;
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
    if ((attributeId::base(id) | attributeId::kBit27) == kInfoVersionAttribute) row = findU32Attribute(kInfoVersionAttribute);
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
  const std::uint32_t index = attributeId::index(id);
  const bool indexIsZero = index == 0;
  switch (row.rule) {
    case tU32Rule::controllerModel: {
      std::int32_t model = -1;
      const std::int32_t result = controllerModel(model);
      if (result != 0) {
        setCode(report, result, kNotSupported);
        return;
      }
      value = static_cast<std::uint32_t>(model);
      if (!indexIsZero) setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
      return;
    }
    case tU32Rule::populatedCount:
      value = populatedCount_;
      if (!indexIsZero) setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
      return;
    case tU32Rule::interfacesPresent:
      if (!hostControllerProxy_.isOpen()) {
        setCode(report, kestrelerr_deviceNotAvailable, kNoController);
        return;
      }
      value = kControllerPresent | (martenProxy_.isOpen() ? kCompanionPresent : 0);
      return;
    case tU32Rule::featureFlags: {
      if (!indexIsZero) {
        setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
        return;
      }
      std::uint8_t enabled = 0;
      std::uint8_t limit = 0;
      if (smBiosReadByte(kFeatureByte, 0, &enabled) != 0 || smBiosReadByte(kFeatureLimitByte, 0, &limit) != 0) {
        value = 0;
        setCode(report, kestrelerr_deviceNotAvailable, kFlagsUnreadable);
        return;
      }
      value = enabled != 0 && limit <= 1 ? 1 : 0;
      return;
    }
    default:
      break;
  }

  if (row.index == tU32Index::zero && !indexIsZero) {
    setCode(report, kestrelerr_attributeNotSupported, kIndexNotZero);
    return;
  }
  if (row.source == tU32Source::device) {
    readDeviceU32(hostControllerProxy_, id, value, report);
    if (report.code < 0) companionFallback(id, value, report);
    return;
  }

  std::uint32_t selector = row.selector;
  std::uint32_t instance = index;
  if (row.index == tU32Index::populated) {
    instance = static_cast<std::uint32_t>(populatedDeviceInstance(index, report));
  } else if (row.rule == tU32Rule::slotEntry) {
    std::uint8_t count = 0;
    const std::int32_t result = smBiosReadByte(kSlotCountByte, 0, &count);
    mapSmbiosResult(result, report);
    if (report.code < 0) return;
    if (index > kLastSlotEntry || count <= index) {
      setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
      return;
    }
    selector += index;
    instance = 0;
  }
  if (report.code < 0) {
    companionFallback(id, value, report);
    return;
  }

  tFieldRead read;
  const std::int32_t result = readField(selector, instance, value, read);
  if (result == kestrelerr_attributeNotSupported) {
    setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
    return;
  }
  mapSmbiosResult(result, report);
  if (report.code < 0) {
    companionFallback(id, value, report);
    return;
  }

  switch (row.rule) {
    case tU32Rule::lowNibble:
      value = static_cast<std::uint32_t>(read.qword & 0xF);
      break;
    case tU32Rule::busWidth: {
      std::uint8_t ignored = 0;
      mapSmbiosResult(smBiosReadByte(kBusInfoByte, 0, &ignored), report);
      if (report.code < 0) return;
      if (!isAllowedBusWidth(value)) setCode(report, kestrelerr_attributeNotSupported, kValueNotAllowed);
      break;
    }
    case tU32Rule::expansionInterface:
      value = expansionInterfaceNumber(read.text);
      break;
    case tU32Rule::busType:
      value = std::strcmp(read.text, "PCI") == 0 ? 1 : kNotListed;
      break;
    default:
      break;
  }
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
