// Translation of an errno value into a status code.
#pragma once

#include <cstdint>

namespace nKESTREL1400 {

// Values 0 to 130 are looked up; every other value gives -52008.
std::int32_t errnoToStatus(int errnoValue) noexcept;

}  // namespace nKESTREL1400
