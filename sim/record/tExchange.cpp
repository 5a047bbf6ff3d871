#include "sim/record/tExchange.h"

#include <iterator>

namespace nKESTRELSIM {

namespace {

struct tCallName {
  tRecordedCall call;
  const char* name;
};

constexpr tCallName kCallNames[] = {
    {tRecordedCall::kGlob, "glob"},         {tRecordedCall::kFile, "file"},
    {tRecordedCall::kOpen, "open"},         {tRecordedCall::kClose, "close"},
    {tRecordedCall::kIoctl, "ioctl"},       {tRecordedCall::kSocket, "socket"},
    {tRecordedCall::kBind, "bind"},         {tRecordedCall::kGetsockname, "getsockname"},
    {tRecordedCall::kSetsockopt, "setsockopt"}, {tRecordedCall::kGetsockopt, "getsockopt"},
    {tRecordedCall::kRecvmsg, "recvmsg"},   {tRecordedCall::kPopen, "popen"},
    {tRecordedCall::kSystem, "system"},
};

}  // namespace

const char* callName(tRecordedCall call) noexcept {
  for (const auto& entry : kCallNames) {
    if (entry.call == call) return entry.name;
  }
  return "?";
}

std::optional<tRecordedCall> callNamed(const std::string& name) noexcept {
  for (const auto& entry : kCallNames) {
    if (name == entry.name) return entry.call;
  }
  return std::nullopt;
}

std::int64_t tExchange::number(const std::string& name, std::int64_t absent) const {
  const auto found = numbers.find(name);
  return found == numbers.end() ? absent : found->second;
}

const tMemoryRegion* tExchange::region(const std::string& what, std::uint32_t field) const {
  for (const auto& candidate : memory) {
    if (candidate.what == what && candidate.field == field) return &candidate;
  }
  return nullptr;
}

}  // namespace nKESTRELSIM
