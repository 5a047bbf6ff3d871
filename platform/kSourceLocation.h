// The place a status code is raised at, as status reports show it: the
// source file name without extension, its line and the component.
#pragma once

#include <cstdint>

namespace nKESTREL1400 {

inline constexpr const char* kComponent = "kestrel";

struct kSourceLocation {
  const char* file;
  std::uint32_t line;
  const char* component = kComponent;  // may be null: the member is left out
};

}  // namespace nKESTREL1400
