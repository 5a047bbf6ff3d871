// Builds an SMBIOS structure table from structures added in table order.
//
//   tSmBiosTableBuilder builder;
//   builder.add(makeStructure(0)).setString(0x05, "1.0.0f0");
//   builder.add(17).setWord(0x0C, 8192).setString(0x10, "DIMM0");
//   std::vector<std::uint8_t> table = builder.build();
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/smbios/tSmBiosStructure.h"

namespace nKESTRELSIM::nSMBIOS {

class tSmBiosTableBuilder {
 public:
  // Appends a structure and returns it for further field setting. Handles
  // count from 0 in table order unless given.
  tSmBiosStructure& add(tSmBiosStructure structure, std::optional<std::uint16_t> handle = std::nullopt);
  // Appends an empty structure of the type with its usual length.
  tSmBiosStructure& add(std::uint8_t type);

  // Whether build() ends the table with an end-of-table structure (type 127).
  void setEndOfTable(bool present) noexcept { endOfTable_ = present; }
  bool endOfTable() const noexcept { return endOfTable_; }

  std::size_t size() const noexcept { return entries_.size(); }
  tSmBiosStructure& at(std::size_t index) { return entries_.at(index).structure; }
  const tSmBiosStructure& at(std::size_t index) const { return entries_.at(index).structure; }
  std::uint16_t handleAt(std::size_t index) const;

  std::vector<std::uint8_t> build() const;

 private:
  struct tEntry {
    tSmBiosStructure structure;
    std::optional<std::uint16_t> handle;
  };
  std::vector<tEntry> entries_;
  bool endOfTable_ = true;
};

}  // namespace nKESTRELSIM::nSMBIOS
