// The structure types a simulated board describes, with their usual
// formatted lengths and named fields: the standard types 0, 1, 4, 16 and 17
// and the controller's vendor types 150 to 163 and 180. Boards may set any
// other offset by number.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "sim/smbios/tSmBiosStructure.h"

namespace nKESTRELSIM::nSMBIOS {

enum class tFieldKind { kByte, kWord, kDword, kQword, kString, kBytes };

struct tSmBiosField {
  std::uint8_t type;
  std::string_view name;
  std::uint8_t offset;
  tFieldKind kind;
  std::uint8_t width = 0;  // kBytes only
};

// All named fields, grouped by type.
std::span<const tSmBiosField> smBiosFields() noexcept;
// The named field of the type, or null.
const tSmBiosField* findSmBiosField(std::uint8_t type, std::string_view name) noexcept;
// The usual formatted length of the type: long enough for every field the
// controller reads; 4 for types not described.
std::size_t defaultSmBiosLength(std::uint8_t type) noexcept;

// An empty structure of the type with its usual length.
tSmBiosStructure makeStructure(std::uint8_t type);

// Sets a named field; throws std::invalid_argument for an unknown name or a
// value of the wrong kind (numbers for number fields, texts for strings).
void setField(tSmBiosStructure& structure, std::string_view name, std::uint64_t value);
void setField(tSmBiosStructure& structure, std::string_view name, std::string_view text);
void setField(tSmBiosStructure& structure, const tSmBiosField& field, std::uint64_t value);

}  // namespace nKESTRELSIM::nSMBIOS
