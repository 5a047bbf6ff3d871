// The index step shared by the numeric and the text attributes.
#include "source/user/attributeField.h"

#include "kestrel/kestrel.h"
#include "platform/cZeSmBiosLinuxProvider.h"
#include "platform/tStatusReport.h"
#include "source/user/smbiosResult.h"
#include "source/user/tControllerUserSession.h"

namespace nKESTREL1400 {
namespace {

bool locateEntry(const tSmbiosEntries& entries, std::uint32_t entry, const kSourceLocation& noEntry,
                 tSmbiosField& field, tStatusReport& report) {
  std::uint8_t count = 0;
  mapSmbiosResult(nZESMBIOS_1_1::smBiosReadByte(entries.countSelector, 0, &count), report);
  if (report.code < 0) return false;
  if (entry > entries.lastEntry || count <= entry) {
    setCode(report, kestrelerr_attributeNotSupported, noEntry);
    return false;
  }
  field = {field.selector + entry * entries.step, 0};
  return true;
}

}  // namespace

bool tControllerUserSession::locateField(const tIndexedField& indexed, std::uint32_t index,
                                         const kSourceLocation& noEntry, tSmbiosField& field,
                                         tStatusReport& report) const noexcept {
  field = {indexed.selector, index};
  switch (indexed.index) {
    case tFieldIndex::instance:
      return true;
    case tFieldIndex::populated:
      field.instance = static_cast<std::uint32_t>(populatedDeviceInstance(index, report));
      return report.code >= 0;
    case tFieldIndex::entry:
      return locateEntry(indexed.entries, index, noEntry, field, report);
  }
  return true;
}

}  // namespace nKESTREL1400
