#include "sim/models/tAttributeStore.h"

#include <cstring>

namespace nKESTRELSIM {

void tAttributeStore::setU32(std::uint32_t id, std::uint32_t value, bool writable) {
  tBytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  setBytes(id, std::move(bytes), writable);
}

void tAttributeStore::setText(std::uint32_t id, const std::string& value, bool writable) {
  tBytes bytes(value.begin(), value.end());
  bytes.push_back(0);
  setBytes(id, std::move(bytes), writable);
}

void tAttributeStore::setBytes(std::uint32_t id, tBytes value, bool writable) {
  values_[id] = tEntry{std::move(value), writable};
}

std::optional<tAttributeStore::tBytes> tAttributeStore::bytes(std::uint32_t id) const {
  const auto found = values_.find(id);
  if (found == values_.end()) return std::nullopt;
  return found->second.value;
}

std::optional<std::uint32_t> tAttributeStore::u32(std::uint32_t id) const {
  const auto value = bytes(id);
  if (!value || value->size() < sizeof(std::uint32_t)) return std::nullopt;
  std::uint32_t result = 0;
  std::memcpy(&result, value->data(), sizeof result);
  return result;
}

std::optional<std::string> tAttributeStore::text(std::uint32_t id) const {
  const auto value = bytes(id);
  if (!value) return std::nullopt;
  std::string result(value->begin(), value->end());
  if (!result.empty() && result.back() == '\0') result.pop_back();
  return result;
}

bool tAttributeStore::isWritable(std::uint32_t id) const {
  const auto found = values_.find(id);
  return found == values_.end() ? acceptUnknown_ : found->second.writable;
}

}  // namespace nKESTRELSIM
