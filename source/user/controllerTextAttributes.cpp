// Text attributes of the controller session.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/attributeField.h"
#include "source/user/attributeId.h"
#include "source/user/controllerSmBiosFields.h"
#include "source/user/smBiosPermission.h"
#include "source/user/smbiosResult.h"
#include "source/user/tControllerUserSession.h"
#include "source/user/textAttributeTable.h"
#include "source/user/u32AttributeTable.h"

namespace nKESTREL1400 {
namespace {

using namespace nZESMBIOS_1_1;

constexpr const char* kFile = "tControllerUserSession";
constexpr kSourceLocation kNoCompanion{kFile, 590};
constexpr kSourceLocation kNotSupported{kFile, 604};
constexpr kSourceLocation kNoValue{kFile, 621};
constexpr kSourceLocation kSizeAnswered{kFile, 672};
constexpr kSourceLocation kNoMemory{kFile, 679};
constexpr kSourceLocation kTooSmall{kFile, 701};
constexpr kSourceLocation kIdentityUnreadable{kFile, 733};
constexpr kSourceLocation kWritesRefused{kFile, 738};
constexpr kSourceLocation kCompanionRefused{kFile, 751};
constexpr kSourceLocation kCompanionTextUnterminated{kFile, 596};
constexpr kSourceLocation kCompanionTextOversized{kFile, 597};

constexpr char kNotApplicable[] = "Not Applicable";
constexpr std::uint32_t kBiosVersionText = 0x0005;  // type 0, offset 05h
constexpr std::uint32_t kFirstBoardTextVersion = 7;

std::uint32_t clampedSize(std::uint64_t length) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(length, UINT32_MAX));
}

void setLow32(std::uint64_t& length, std::uint32_t value) { length = (length & ~std::uint64_t{UINT32_MAX}) | value; }

// Copies `text` with a "0" in front of every field whose second character
// is a colon. A field starts the text and, with `commaFields`, follows a comma.
std::size_t normalize(const char* text, bool commaFields, char* out) {
  std::size_t written = 0;
  bool fieldStart = true;
  for (const char* p = text; *p != '\0'; ++p) {
    if (fieldStart && p[1] == ':') out[written++] = '0';
    out[written++] = *p;
    fieldStart = commaFields && *p == ',';
  }
  out[written] = '\0';
  return written;
}

// Whether the BIOS version of `instance` equals `text`; the outcome of a
// failed size question goes into the report.
bool equalsBiosVersion(const char* text, std::uint32_t instance, tStatusReport& report) {
  std::uint32_t size = 0;
  const std::int32_t answer = smBiosReadString(kBiosVersionText, instance, nullptr, &size);
  if (answer != smbioserr_bufferTooSmall) {
    mapSmbiosResult(answer, report);
    return false;
  }
  std::unique_ptr<char[]> bios(new (std::nothrow) char[size]);
  if (!bios) return false;
  if (smBiosReadString(kBiosVersionText, instance, bios.get(), &size) != 0) return false;
  return std::strcmp(bios.get(), text) == 0;
}

// The companion writes into the caller's buffer: a text it did not end
// within the buffer is not handed on as one. Nor is a text the companion
// claims to be longer than the buffer it filled: a caller trusting that
// length would read past its buffer.
void checkCompanionText(char* buffer, std::uint32_t capacity, std::uint32_t size, tStatus& local) {
  if (local.isError() || buffer == nullptr) return;
  if (capacity != 0 && std::memchr(buffer, 0, capacity) == nullptr) {
    buffer[0] = '\0';
    local.setCode(brioerr_ioFailure, kCompanionTextUnterminated);
    return;
  }
  if (size > capacity) {
    if (capacity != 0) buffer[0] = '\0';
    local.setCode(brioerr_ioFailure, kCompanionTextOversized);
  }
}

void readCompanionText(tInterfaceProxy_hostMarten& companion, std::uint32_t id, char* buffer,
                       std::uint64_t& length, tStatusReport& report) {
  tStatus local;
  std::uint32_t size = static_cast<std::uint32_t>(length);
  const std::uint32_t capacity = size;
  companion.getAttribute(id, buffer, size, local);
  setLow32(length, size);
  checkCompanionText(buffer, capacity, size, local);
  local.copyToReport(report);
}

// Board texts exist from information version 7 on.
bool hasBoardText(tControllerUserSession& session, std::uint32_t index, tStatusReport& report) {
  std::uint32_t version = 0;
  session.getAttributeU32(KESTREL_ATTR_INFO_VERSION | index, version, report);
  if (report.code < 0) return false;
  if (version < kFirstBoardTextVersion) {
    setCode(report, kestrelerr_attributeNotSupported, kNoValue);
    return false;
  }
  return true;
}

// Texts that the row's rule says stand for no value.
void refuseNoValue(tTextRule rule, const char* text, std::uint32_t instance, tStatusReport& report) {
  switch (rule) {
    case tTextRule::notApplicable:
    case tTextRule::boardText:
      if (std::strcmp(text, kNotApplicable) == 0) setCode(report, kestrelerr_attributeNotSupported, kNoValue);
      return;
    case tTextRule::differsFromBios:
      if (equalsBiosVersion(text, instance, report)) setCode(report, kestrelerr_attributeNotSupported, kNoValue);
      return;
    default:
      return;
  }
}

tIndexedField indexedField(const tTextAttribute& row) {
  return {row.index, row.selector, {row.countSelector, row.lastEntry, row.entryStep}};
}

}  // namespace

void tControllerUserSession::getAttributeUTF8(std::uint32_t id, char* buffer, std::uint64_t& length,
                                              tStatusReport& report) noexcept {
  if (report.code < 0) return;
  const std::uint32_t source = attributeId::source(id);
  if (martenProxy_.isOpen() && attributeId::base(id) == KESTREL_ATTR_BIOS_VERSION) {
    if (source != attributeId::kSourceSmbios) {
      readCompanionText(martenProxy_, id, buffer, length, report);
      return;
    }
    id = attributeId::withSource(id, 0);
  } else if (!martenProxy_.isOpen() && source == attributeId::kSourceCompanion) {
    setCode(report, kestrelerr_deviceNotAvailable, kNoCompanion);
    return;
  }
  const tTextAttribute* row = findTextAttribute(attributeId::base(id));
  if (row == nullptr) {
    setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
    return;
  }
  readTextRow(*row, id, buffer, length, report);
}

void tControllerUserSession::readTextRow(const tTextAttribute& row, std::uint32_t id, char* buffer,
                                         std::uint64_t& length, tStatusReport& report) noexcept {
  const std::uint32_t index = attributeId::index(id);
  tSmbiosField field{};
  if (!locateField(indexedField(row), index, kNotSupported, field, report)) return;
  if (row.rule == tTextRule::normalized || row.rule == tTextRule::normalizedPerComma) {
    readNormalizedText(field.selector, field.instance, id, buffer, length, report);
    return;
  }
  if (row.rule == tTextRule::boardText && !hasBoardText(*this, index, report)) return;

  std::uint32_t size = clampedSize(length);
  const std::int32_t result = smBiosReadString(field.selector, field.instance, buffer, &size);
  if (result == smbioserr_bufferTooSmall) length = size;
  mapSmbiosResult(result, report);
  if (report.code < 0 || result != 0) return;
  refuseNoValue(row.rule, buffer, field.instance, report);
}

void tControllerUserSession::readNormalizedText(std::uint32_t selector, std::uint32_t instance, std::uint32_t id,
                                                char* buffer, std::uint64_t& length,
                                                tStatusReport& report) noexcept {
  std::uint32_t size = 0;
  mapSmbiosResult(smBiosReadString(selector, instance, nullptr, &size), report);
  if (report.code == kestrelerr_bufferTooSmall) {
    forceCode(report, 0);
  } else if (report.code >= 0) {
    setCode(report, brioerr_resourceFailure, kSizeAnswered);
    return;
  } else {
    return;
  }

  // The text, then room for it with a "0" added to every field.
  std::unique_ptr<char[]> text(new (std::nothrow) char[size]());
  std::unique_ptr<char[]> result(new (std::nothrow) char[2 * std::size_t{size} + 1]);
  if (!text || !result) {
    setCode(report, kestrelerr_memoryFull, kNoMemory);
    return;
  }
  const std::int32_t read = smBiosReadString(selector, instance, text.get(), &size);
  if (read != 0) {
    mapSmbiosResult(read, report);
    return;
  }
  const bool commaFields = attributeId::base(id) == KESTREL_ATTR_TRIGGER_FIELDS;
  const std::size_t resultLength = normalize(text.get(), commaFields, result.get());
  if (length < resultLength + 1) {
    setCode(report, kestrelerr_bufferTooSmall, kTooSmall);
    length = resultLength + 1;
    return;
  }
  std::memcpy(buffer, result.get(), resultLength + 1);
}

void tControllerUserSession::setAttributeUTF8(std::uint32_t id, const char* text, std::size_t size,
                                              tStatusReport& report) noexcept {
  if (report.code < 0) return;
  if (attributeId::withSource(id, 0) == KESTREL_ATTR_USER_TEXT) {
    if (attributeId::source(id) != attributeId::kSourceCompanion) {
      writeControllerText(id, text, size, report);
      if (report.code < 0) return;
    }
    writeCompanionText(attributeId::withSource(id, attributeId::kSourceCompanion), text, size, report);
    // The companion keeps a copy when it can; it need not.
    if (report.code == kestrelerr_attributeNotSupported) forceCode(report, 0);
    return;
  }
  writeControllerText(id, text, size, report);
  if (report.code == kestrelerr_attributeNotSupported) {
    forceCode(report, 0);
    writeCompanionText(id, text, size, report);
  }
}

void tControllerUserSession::writeControllerText(std::uint32_t id, const char* text, std::size_t size,
                                                 tStatusReport& report) noexcept {
  const tPermission permission = readSmBiosPermission(nControllerField::kTextWritePermission);
  if (permission == tPermission::unreadable) {
    setCode(report, kestrelerr_deviceNotAvailable, kIdentityUnreadable);
    return;
  }
  if (permission == tPermission::refused) {
    setCode(report, kestrelerr_attributeNotSupported, kWritesRefused);
    return;
  }
  tStatus local;
  hostControllerProxy_.setAttribute(id, text, static_cast<std::uint32_t>(size), local);
  local.copyToReport(report);
}

void tControllerUserSession::writeCompanionText(std::uint32_t id, const char* text, std::size_t size,
                                                tStatusReport& report) noexcept {
  if (!martenProxy_.isOpen()) {
    setCode(report, kestrelerr_attributeNotSupported, kCompanionRefused);
    return;
  }
  tStatus local;
  martenProxy_.setAttribute(id, text, static_cast<std::uint32_t>(size), local);
  local.copyToReport(report);
}

}  // namespace nKESTREL1400
