#include "sim/system/tFaultPlan.h"

namespace nKESTRELSIM {
namespace {

template <class Key, class Map>
std::optional<tRequestFault> take(Map& pending, const Key& key) {
  const auto found = pending.find(key);
  if (found == pending.end() || found->second.remaining == 0) return std::nullopt;
  const tRequestFault fault = found->second.fault;
  if (--found->second.remaining == 0) pending.erase(found);
  return fault;
}

}  // namespace

void tFaultPlan::addRequestFault(std::uint32_t code, unsigned count, tRequestFault fault) {
  requests_[code] = tPending{count, fault};
}

std::optional<tRequestFault> tFaultPlan::takeRequestFault(std::uint32_t code) { return take(requests_, code); }

std::optional<tRequestFault> tFaultPlan::nextRequestFault(std::uint32_t code) const {
  const auto found = requests_.find(code);
  if (found == requests_.end() || found->second.remaining == 0) return std::nullopt;
  return found->second.fault;
}

void tFaultPlan::addCallFault(tCall call, unsigned count, int value) {
  calls_[call] = tPending{count, tRequestFault{value, 0}};
}

std::optional<int> tFaultPlan::takeCallFault(tCall call) {
  const auto fault = take(calls_, call);
  if (!fault) return std::nullopt;
  return fault->error;
}

void tFaultPlan::clear() {
  requests_.clear();
  calls_.clear();
}

}  // namespace nKESTRELSIM
