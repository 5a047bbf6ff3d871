#include "sim/smbios/tSmBiosTableBuilder.h"

#include "sim/smbios/smBiosFieldTable.h"

namespace nKESTRELSIM::nSMBIOS {
namespace {
constexpr std::uint8_t kEndOfTableType = 127;
}

tSmBiosStructure& tSmBiosTableBuilder::add(tSmBiosStructure structure, std::optional<std::uint16_t> handle) {
  entries_.push_back({std::move(structure), handle});
  return entries_.back().structure;
}

tSmBiosStructure& tSmBiosTableBuilder::add(std::uint8_t type) { return add(makeStructure(type)); }

std::uint16_t tSmBiosTableBuilder::handleAt(std::size_t index) const {
  const tEntry& entry = entries_.at(index);
  return entry.handle.value_or(static_cast<std::uint16_t>(index));
}

std::vector<std::uint8_t> tSmBiosTableBuilder::build() const {
  std::vector<std::uint8_t> table;
  for (std::size_t i = 0; i < entries_.size(); ++i) entries_[i].structure.appendTo(table, handleAt(i));
  if (endOfTable_) tSmBiosStructure(kEndOfTableType).appendTo(table, static_cast<std::uint16_t>(entries_.size()));
  return table;
}

}  // namespace nKESTRELSIM::nSMBIOS
