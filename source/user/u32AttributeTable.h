// The controller's numeric attributes as data: where each value comes from
// and what is done with it.
#pragma once

#include <cstdint>
#include <span>

namespace nKESTREL1400 {

// How the low eight bits of the id are used.
enum class tU32Index : std::uint8_t {
  instance,   // the SMBIOS instance
  populated,  // the n-th populated memory module
  zero,       // must be 0; another index is refused without companion fallback
  entry,      // an entry number, checked by the row's rule
  unused,
};

enum class tU32Source : std::uint8_t { smbios, device, session };

enum class tU32Rule : std::uint8_t {
  asRead,
  controllerModel,        // the model from SMBIOS
  populatedCount,         // the number of populated memory modules
  lowNibble,              // low 4 bits of a quad word
  busWidth,               // 16, 21, 32 or 48, checked against the type 180 structure
  featureFlags,           // 1 when the type 158 flags enable the feature
  slotEntry,              // type 152 entries, limited by the entry count
  expansionInterface,     // text to a number
  busType,                // text to a number
  interfacesPresent,      // which device interfaces the session holds
};

struct tU32Attribute {
  std::uint32_t baseId;
  tU32Index index;
  tU32Source source;
  std::uint32_t selector;  // SMBIOS field, for SMBIOS rows
  tU32Rule rule;
};

inline constexpr std::uint32_t kInfoVersionAttribute = 0x28000200;

inline constexpr tU32Attribute kU32Attributes[] = {
    {0x20000500, tU32Index::zero, tU32Source::session, 0, tU32Rule::controllerModel},
    {0x20000600, tU32Index::instance, tU32Source::smbios, 0x29606, tU32Rule::asRead},
    {0x20006600, tU32Index::instance, tU32Source::smbios, 0x1960B, tU32Rule::asRead},
    {0x2000C800, tU32Index::populated, tU32Source::smbios, 0x11112, tU32Rule::asRead},
    {0x2000C900, tU32Index::populated, tU32Source::smbios, 0x21115, tU32Rule::asRead},
    {0x2000CA00, tU32Index::populated, tU32Source::smbios, 0x21120, tU32Rule::asRead},
    {0x2000CB00, tU32Index::zero, tU32Source::session, 0, tU32Rule::populatedCount},
    {0x2000D000, tU32Index::populated, tU32Source::smbios, 0x2110C, tU32Rule::asRead},
    {0x20012E00, tU32Index::instance, tU32Source::smbios, 0x40408, tU32Rule::lowNibble},
    {0x20012F00, tU32Index::instance, tU32Source::smbios, 0x20414, tU32Rule::asRead},
    {0x20013000, tU32Index::instance, tU32Source::smbios, 0x10425, tU32Rule::asRead},
    {0x20013100, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {0x20019600, tU32Index::instance, tU32Source::smbios, 0x1B407, tU32Rule::busWidth},
    {0x20019800, tU32Index::instance, tU32Source::smbios, 0x1B406, tU32Rule::asRead},
    {0x2001F400, tU32Index::zero, tU32Source::session, 0, tU32Rule::featureFlags},
    {0x20025800, tU32Index::instance, tU32Source::smbios, 0x19804, tU32Rule::asRead},
    {0x20025A00, tU32Index::entry, tU32Source::smbios, 0x19809, tU32Rule::slotEntry},
    {0x2002BC00, tU32Index::instance, tU32Source::smbios, 0x9904, tU32Rule::expansionInterface},
    {0x20032000, tU32Index::instance, tU32Source::smbios, 0x9A04, tU32Rule::busType},
    {0x2003E800, tU32Index::instance, tU32Source::smbios, 0x19F04, tU32Rule::asRead},
    {0x2003E900, tU32Index::instance, tU32Source::smbios, 0x19F05, tU32Rule::asRead},
    {0x20044C00, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {0x2004B000, tU32Index::instance, tU32Source::smbios, 0x19D04, tU32Rule::asRead},
    {0x20051400, tU32Index::zero, tU32Source::device, 0, tU32Rule::asRead},
    {0x2005DC00, tU32Index::unused, tU32Source::session, 0, tU32Rule::interfacesPresent},
    {0x2006A400, tU32Index::instance, tU32Source::smbios, 0x1A306, tU32Rule::asRead},
    {kInfoVersionAttribute, tU32Index::instance, tU32Source::smbios, 0x19604, tU32Rule::asRead},
};

constexpr const tU32Attribute* findU32Attribute(std::uint32_t baseId) {
  for (const auto& row : kU32Attributes) {
    if (row.baseId == baseId) return &row;
  }
  return nullptr;
}

}  // namespace nKESTREL1400
