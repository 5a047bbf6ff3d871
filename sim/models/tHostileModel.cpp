#include "sim/models/tHostileModel.h"

#include <cerrno>
#include <cstring>

#include "platform/driverWireFormat.h"
#include "sim/models/recordFault.h"
#include "sim/models/userMemory.h"

namespace nKESTRELSIM {
namespace {

using namespace nKESTREL1400::nDriverWire;

// What a failing driver or kernel answers.
constexpr int kErrors[] = {EIO, ENOTTY, EINVAL, ENODEV, EBUSY, ENOBUFS, EFAULT, EPERM, EAGAIN, ETIMEDOUT, ENOMEM};

enum class tAnswer : std::uint8_t { kAsModel, kErrno, kGarbled, kNothing, kScribbled, kStatusOnly, kShort, kOversized };

tAnswer decide(std::uint8_t byte) {
  // Most requests answer as the model would, so sequences get deep.
  switch (byte % 12) {
    case 5: return tAnswer::kErrno;
    case 6: return tAnswer::kGarbled;
    case 7: return tAnswer::kNothing;
    case 8: return tAnswer::kScribbled;
    case 9: return tAnswer::kStatusOnly;
    case 10: return tAnswer::kShort;
    case 11: return tAnswer::kOversized;
    default: return tAnswer::kAsModel;
  }
}

template <class Record>
bool inputAs(const tDriverRequest& request, Record& record) {
  if (request.input.size() != sizeof(Record)) return false;
  std::memcpy(&record, request.input.data(), sizeof record);
  return true;
}

}  // namespace

std::uint32_t tByteScript::next32() noexcept {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | next();
  return value;
}

void tByteScript::fill(std::uint8_t* destination, std::size_t count) noexcept {
  for (std::size_t i = 0; i < count; ++i) destination[i] = next();
}

void tHostileModel::answerAsModel(tDriverRequest& request, iDriverEvents& events) {
  if (inner_) {
    inner_->handle(request, events);
  } else {
    request.error = ENOTTY;
  }
}

void tHostileModel::scribbleUserBuffers(const tDriverRequest& request) {
  auto scribble = [this](std::uint64_t address, std::uint64_t capacity) {
    if (address == 0 || capacity == 0) return;
    const std::size_t count = capacity < 1024 ? static_cast<std::size_t>(capacity) : 1024;
    std::uint8_t bytes[1024];
    script_.fill(bytes, count);
    copyToUser(address, bytes, count);
  };
  // Only requests that read into the caller's buffers: a write's value is
  // the caller's own (constant) data, which no driver writes to.
  tAttributeInput attribute{};
  tGetSmBiosDataInput smbios{};
  tBufferInput buffer{};
  tCalculateRouteInput route{};
  tTicketArrayInput array{};
  if (request.code == kGetAttribute && inputAs(request, attribute)) {
    scribble(attribute.valueAddress, attribute.valueSize);
  } else if (request.code == kGetSmBiosData && inputAs(request, smbios)) {
    scribble(smbios.identAddress, smbios.identSize);
    scribble(smbios.tableAddress, smbios.tableSize);
  } else if (request.code == kGetTopographyName && inputAs(request, buffer)) {
    scribble(buffer.address, buffer.size);
  } else if (request.code == kCalculateRoute && inputAs(request, route)) {
    scribble(route.resultsAddress, std::uint64_t{route.resultsCount} * sizeof(tRouteSegment));
  } else if (request.code == kReserveRoute && inputAs(request, array)) {
    scribble(array.address, std::uint64_t{array.count} * sizeof(tReservationConflict));
  } else if (request.code == kGetRouteTerminalPath && inputAs(request, array)) {
    scribble(array.address, std::uint64_t{array.count} * sizeof(std::uint32_t));
  }
}

void tHostileModel::handle(tDriverRequest& request, iDriverEvents& events) {
  switch (decide(script_.next())) {
    case tAnswer::kAsModel:
      answerAsModel(request, events);
      return;
    case tAnswer::kErrno:
      request.error = kErrors[script_.next() % std::size(kErrors)];
      return;
    case tAnswer::kGarbled:
      answerAsModel(request, events);
      request.error = 0;
      script_.fill(request.output.data(), request.output.size());
      return;
    case tAnswer::kNothing:
      std::fill(request.output.begin(), request.output.end(), std::uint8_t{0});
      return;
    case tAnswer::kScribbled:
      scribbleUserBuffers(request);
      script_.fill(request.output.data(), request.output.size());
      return;
    case tAnswer::kStatusOnly:
      answerAsModel(request, events);
      request.error = 0;
      if (request.output.size() >= 4) {
        const std::uint32_t status = script_.next32();
        std::memcpy(request.output.data() + request.output.size() - 4, &status, 4);
      }
      return;
    case tAnswer::kShort: {
      answerAsModel(request, events);
      const std::uint32_t size = script_.next();
      applyRecordFault(tRecordFault::kShort, 0, size, request);
      return;
    }
    case tAnswer::kOversized: {
      answerAsModel(request, events);
      const std::uint32_t size = script_.next32() % 4 == 0 ? 0 : script_.next32();
      applyRecordFault(tRecordFault::kOversized, 0, size, request);
      return;
    }
  }
}

}  // namespace nKESTRELSIM
