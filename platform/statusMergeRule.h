#pragma once

#include <cstdint>

namespace nKESTREL1400 {

// Whether a record holding `held` takes `incoming`: a new code is stored only
// over 0, or when it is an error over a warning. The first error wins.
constexpr bool mergeRuleStores(std::int64_t held, std::int64_t incoming) {
  if (incoming == 0) return false;
  if (held == 0) return true;
  return held > 0 && incoming < 0;
}

}  // namespace nKESTREL1400
