#include "sim/recorder/recordRequest.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/driverWireFormat.h"
#include "sim/libc/realLibc.h"
#include "sim/record/requestBuffers.h"
#include "sim/recorder/ownMemory.h"
#include "sim/record/redaction.h"

namespace nKESTRELSIM {

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr std::uint32_t kMaxRecord = 64 * 1024;
// Descriptor, input, output and the most buffers a request names (three).
constexpr std::size_t kMostRegions = 6;

struct tPlannedRegion {
  tMemoryRegion region;
  std::uint64_t address = 0;
  std::size_t size = 0;
  bool readBefore = false;
  bool readAfter = true;
};

bool isTransfer(unsigned long request) { return ioctlSize(request) == sizeof(tTransferDescriptor); }

std::uint64_t addressOf(const void* pointer) { return reinterpret_cast<std::uint64_t>(pointer); }

// The regions a transfer reaches, as its descriptor and input record name them.
std::vector<tPlannedRegion> planTransfer(std::uint32_t code, void* argument) {
  std::vector<tPlannedRegion> plan;
  plan.reserve(kMostRegions);
  plan.push_back({{"descriptor", 0, {}, {}}, addressOf(argument), sizeof(tTransferDescriptor), true, true});
  const auto descriptorBytes = readOwnMemory(addressOf(argument), sizeof(tTransferDescriptor));
  if (!descriptorBytes) return plan;
  tTransferDescriptor descriptor{};
  std::memcpy(&descriptor, descriptorBytes->data(), sizeof descriptor);
  if (descriptor.inputSize != 0 && descriptor.inputSize <= kMaxRecord) {
    plan.push_back({{"input", 0, {}, {}}, descriptor.inputAddress, descriptor.inputSize, true, false});
    if (const auto input = readOwnMemory(descriptor.inputAddress, descriptor.inputSize)) {
      for (const auto& field : buffersOf(code)) {
        const auto place = placeOf(field, *input);
        if (place.size == 0) continue;
        const bool read = field.use == tBufferUse::kRead;
        plan.push_back({{"buffer", field.addressAt, {}, {}}, place.address, place.size, read, !read});
      }
    }
  }
  if (descriptor.outputSize != 0 && descriptor.outputSize <= kMaxRecord) {
    plan.push_back({{"output", 0, {}, {}}, descriptor.outputAddress, descriptor.outputSize, false, true});
  }
  return plan;
}

void zeroAddress(std::optional<tBytes>& bytes, std::size_t offset) {
  if (bytes && bytes->size() >= offset + sizeof(std::uint64_t)) std::memset(bytes->data() + offset, 0, sizeof(std::uint64_t));
}

// Addresses of the program's memory are written as zero: they differ from
// one run to the next (two recordings of one program compare line by line)
// and say nothing a replay needs.
void hideAddresses(std::uint32_t code, std::vector<tPlannedRegion>& plan) {
  for (auto& planned : plan) {
    tMemoryRegion& region = planned.region;
    for (auto* bytes : {&region.before, &region.after}) {
      if (region.what == "descriptor") {
        zeroAddress(*bytes, offsetof(tTransferDescriptor, inputAddress));
        zeroAddress(*bytes, offsetof(tTransferDescriptor, outputAddress));
      } else if (region.what == "input") {
        for (const auto& field : buffersOf(code)) zeroAddress(*bytes, field.addressAt);
      }
    }
  }
}

}  // namespace

int recordRequest(tRecorder& recorder, int descriptor, unsigned long request, void* argument) {
  const auto code = static_cast<std::uint32_t>(request);
  std::vector<tPlannedRegion> plan;
  if (request == kRegisterNotification) {
    plan.push_back({{"registration", 0, {}, {}}, addressOf(argument), sizeof(tNotificationRegistration), true, false});
  } else if (isTransfer(request) && argument != nullptr) {
    plan = planTransfer(code, argument);
  }
  for (auto& planned : plan) {
    if (planned.readBefore) planned.region.before = readOwnMemory(planned.address, planned.size);
  }
  const int result = nRealLibc::ioctl(descriptor, request, argument);
  const int callErrno = errno;
  const int error = result == -1 ? callErrno : 0;
  for (auto& planned : plan) {
    if (planned.readAfter) planned.region.after = readOwnMemory(planned.address, planned.size);
  }
  auto line = recorder.line(tRecordedCall::kIoctl);
  line.number("fd", descriptor).number("request", code);
  if (request == kUnregisterNotification) line.number("argument", static_cast<std::int64_t>(addressOf(argument)));
  line.number("result", result).number("error", error);
  hideAddresses(code, plan);
  std::vector<tMemoryRegion> regions;
  regions.reserve(plan.size());
  for (auto& planned : plan) regions.push_back(std::move(planned.region));
  if (recorder.redacts()) redactRequest(code, regions);
  for (const auto& region : regions) line.region(region);
  recorder.write(line);
  errno = callErrno;
  return result;
}

}  // namespace nKESTRELSIM
