// One row of the case-folding table: a code point and what it folds to.
#pragma once

#include <cstdint>

namespace tarn {

struct tCaseFoldingRow {
  char32_t codePoint;
  std::uint8_t count;  // 1 to 3 code points in `folded`
  char32_t folded[3];
};

}  // namespace tarn
