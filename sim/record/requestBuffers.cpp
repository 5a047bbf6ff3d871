#include "sim/record/requestBuffers.h"

#include <cstring>

#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

namespace {

using namespace nKESTREL1400::nDriverWire;
using tUse = tBufferUse;

constexpr tBufferField kBuffers[] = {
    {kGetAttribute, offsetof(tAttributeInput, valueAddress), offsetof(tAttributeInput, valueSize), 1, tUse::kWritten},
    {kSetAttribute, offsetof(tAttributeInput, valueAddress), offsetof(tAttributeInput, valueSize), 1, tUse::kRead},
    {kGetSmBiosData, offsetof(tGetSmBiosDataInput, identAddress), offsetof(tGetSmBiosDataInput, identSize), 1,
     tUse::kWritten},
    {kGetSmBiosData, offsetof(tGetSmBiosDataInput, tableAddress), offsetof(tGetSmBiosDataInput, tableSize), 1,
     tUse::kWritten},
    {kUpdateFirmware, offsetof(tBufferInput, address), offsetof(tBufferInput, size), 1, tUse::kRead},
    {kUpdateMartenFirmware, offsetof(tBufferInput, address), offsetof(tBufferInput, size), 1, tUse::kRead},
    {kGetTopographyName, offsetof(tBufferInput, address), offsetof(tBufferInput, size), 1, tUse::kWritten},
    {kCalculateRoute, offsetof(tCalculateRouteInput, seedsAddress), offsetof(tCalculateRouteInput, seedsCount),
     sizeof(tRouteSeed), tUse::kRead},
    {kCalculateRoute, offsetof(tCalculateRouteInput, destinationsAddress),
     offsetof(tCalculateRouteInput, destinationsCount), sizeof(std::uint32_t), tUse::kRead},
    {kCalculateRoute, offsetof(tCalculateRouteInput, resultsAddress), offsetof(tCalculateRouteInput, resultsCount),
     sizeof(tRouteSegment), tUse::kWritten},
    {kReserveRoute, offsetof(tTicketArrayInput, address), offsetof(tTicketArrayInput, count),
     sizeof(tReservationConflict), tUse::kWritten},
    {kGetRouteTerminalPath, offsetof(tTicketArrayInput, address), offsetof(tTicketArrayInput, count),
     sizeof(std::uint32_t), tUse::kWritten},
};

// Session ids are the addresses of the library's session objects.
constexpr tCallerField kSessionIds[] = {
    {kCalculateRoute, offsetof(tCalculateRouteInput, sessionId), sizeof(std::uint64_t)},
    {kCalculateResetTerminal, offsetof(tCalculateResetTerminalInput, sessionId), sizeof(std::uint64_t)},
};

void zero(std::vector<std::uint8_t>& bytes, std::uint32_t offset, std::uint32_t size) {
  if (offset + size <= bytes.size()) std::memset(bytes.data() + offset, 0, size);
}

}  // namespace

std::span<const tBufferField> buffersOf(std::uint32_t code) {
  std::size_t first = 0;
  while (first < std::size(kBuffers) && kBuffers[first].code != code) ++first;
  std::size_t last = first;
  while (last < std::size(kBuffers) && kBuffers[last].code == code) ++last;
  return std::span<const tBufferField>(kBuffers).subspan(first, last - first);
}

std::vector<std::uint8_t> comparableInput(std::uint32_t code, std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> bytes(input.begin(), input.end());
  for (const auto& field : buffersOf(code)) zero(bytes, field.addressAt, sizeof(std::uint64_t));
  for (const auto& field : kSessionIds) {
    if (field.code == code) zero(bytes, field.offset, field.size);
  }
  return bytes;
}

tBufferPlace placeOf(const tBufferField& field, std::span<const std::uint8_t> input) {
  tBufferPlace place;
  if (field.addressAt + sizeof(std::uint64_t) > input.size() || field.countAt + sizeof(std::uint32_t) > input.size()) {
    return place;
  }
  std::uint32_t count = 0;
  std::memcpy(&place.address, input.data() + field.addressAt, sizeof place.address);
  std::memcpy(&count, input.data() + field.countAt, sizeof count);
  const std::uint64_t size = std::uint64_t{count} * field.elementSize;
  if (place.address != 0 && size <= kMaxRecordedBuffer) place.size = size;
  return place;
}

}  // namespace nKESTRELSIM
