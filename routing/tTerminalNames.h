// The terminal names of one topography as route requests and answers use
// them, prepared once per session: request names are matched without
// regard to case (caseFolding.h), answers name terminals by id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "routing/TopographyInfoRegistration.h"

namespace tarn {

class tTerminalNames {
 public:
  // Throws std::bad_alloc when memory is short.
  explicit tTerminalNames(const tTopographyInfo& topography);

  // The id of the terminal a request names: `raw` is the name as it stands
  // between the quotes of the request. JSON escapes are decoded first; the
  // first terminal in table order whose name matches wins. 0 when none.
  std::uint32_t idOf(const char* raw, std::size_t rawLength) const;

  struct tName {
    const char* text;
    std::size_t length;
    bool plain;  // goes into JSON as it stands: no byte needs escaping
  };
  // The name of the first terminal with this id, or "" when there is none.
  tName nameOf(std::uint32_t id) const noexcept;

 private:
  // A terminal name as a plain ASCII request name is compared with it: in
  // ASCII lower case, zero-padded to 16 bytes, when it is ASCII and that
  // short ("quick"); others take the full comparison.
  struct tEntry {
    std::uint64_t folded[2];
    const char* name;
    std::uint32_t id;
    std::uint32_t length;
    bool quick;
    bool plain;
  };

  std::uint32_t idOfAscii(const char* raw, std::size_t rawLength, const std::uint64_t* folded) const noexcept;
  std::uint32_t idOfFolded(const char* text, std::size_t length) const noexcept;
  std::uint32_t idOfEscaped(const char* raw, std::size_t rawLength) const;

  std::vector<tEntry> entries_;  // the named terminals, in table order
};

}  // namespace tarn
