#include "sim/models/recordFault.h"

#include <cstddef>
#include <cstring>

#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {
namespace {

using namespace nKESTREL1400::nDriverWire;

template <class Record>
bool inputOf(const tDriverRequest& request, Record& record) {
  if (request.input.size() != sizeof(Record)) return false;
  std::memcpy(&record, request.input.data(), sizeof record);
  return true;
}

template <class Field>
void writeField(tDriverRequest& request, std::size_t offset, Field value) {
  if (request.output.size() >= offset + sizeof value) std::memcpy(request.output.data() + offset, &value, sizeof value);
}

// Writes a size or count larger than the caller's room (`size`, or one
// more than the room) into the size fields of the requests that answer one.
void claimOversized(std::uint32_t size, tDriverRequest& request) {
  const auto claimed = [size](std::uint32_t room) { return size != 0 ? size : room + 1; };
  tAttributeInput attribute{};
  tGetSmBiosDataInput smbios{};
  tCalculateRouteInput route{};
  tTicketArrayInput array{};
  if (request.code == kGetAttribute && inputOf(request, attribute)) {
    writeField(request, offsetof(tValueOutput, value), claimed(attribute.valueSize));
  } else if (request.code == kGetSmBiosData && inputOf(request, smbios)) {
    writeField(request, offsetof(tGetSmBiosDataOutput, identSize), claimed(smbios.identSize));
    writeField(request, offsetof(tGetSmBiosDataOutput, tableSize), claimed(smbios.tableSize));
  } else if (request.code == kCalculateRoute && inputOf(request, route)) {
    writeField(request, offsetof(tCalculateRouteOutput, resultsCount), claimed(route.resultsCount));
  } else if ((request.code == kReserveRoute || request.code == kGetRouteTerminalPath) && inputOf(request, array)) {
    writeField(request, offsetof(tValueOutput, value), claimed(array.count));
  }
}

}  // namespace

void applyRecordFault(tRecordFault fault, std::int32_t status, std::uint32_t size, tDriverRequest& request) {
  switch (fault) {
    case tRecordFault::kStatus:
      if (request.output.size() >= sizeof status) writeField(request, request.output.size() - sizeof status, status);
      return;
    case tRecordFault::kNothingWritten:
      request.copiedBack = 0;
      return;
    case tRecordFault::kShort:
      if (request.output.empty()) return;
      // Short means short: a size not below the record's copies one byte less.
      request.copiedBack = size < request.output.size() ? size : request.output.size() - 1;
      return;
    case tRecordFault::kOversized:
      claimOversized(size, request);
      return;
  }
}

}  // namespace nKESTRELSIM
