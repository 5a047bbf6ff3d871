// The SMBIOS field an indexed attribute reads. The low eight bits of the
// attribute id pick it: an SMBIOS instance, the n-th populated memory module,
// or an entry of a structure that lists a counted number of them.
#pragma once

#include <cstdint>

namespace nKESTREL1400 {

enum class tFieldIndex : std::uint8_t {
  instance,   // the SMBIOS instance
  populated,  // the n-th populated memory module
  entry,      // entry number, limited by a count byte of instance 0
};

// Entry n is the field `step * n` selectors after entry 0, in instance 0. It
// exists when n is at most `lastEntry` and below the count byte.
struct tSmbiosEntries {
  std::uint32_t countSelector;
  std::uint32_t lastEntry;
  std::uint32_t step;
};

// How an attribute's index picks its field: `selector` is the field, or
// entry 0 for entries.
struct tIndexedField {
  tFieldIndex index;
  std::uint32_t selector;
  tSmbiosEntries entries;
};

struct tSmbiosField {
  std::uint32_t selector;
  std::uint32_t instance;
};

}  // namespace nKESTREL1400
