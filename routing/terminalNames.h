// Terminal names of a topography as route requests and answers use them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "routing/TopographyInfoRegistration.h"

namespace tarn {

// The id of the terminal a request names: `raw` is the name as it stands
// between the quotes of the request. JSON escapes are decoded first; the
// name is then folded once and compared with every terminal without regard
// to case. 0 when no terminal matches.
std::uint32_t terminalIdByName(const tTopographyInfo& topography, const char* raw, std::size_t rawLength);

// The name of the terminal with this id, or "" when there is none.
const char* terminalNameById(const tTopographyInfo& topography, std::uint32_t id) noexcept;

}  // namespace tarn
