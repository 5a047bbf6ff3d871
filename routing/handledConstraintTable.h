// The route constraints the adaptor understands, as the framework names
// them in a seed's "constraints" object.
#pragma once

#include <cstdint>

#include "json/jsonReader.h"

namespace tarn {

struct tHandledConstraint {
  const char* name;
  std::uint32_t id;
  std::int32_t expectedType;  // jsonz_type
};

inline constexpr std::uint32_t kInversionNeededConstraint = 1;

inline constexpr tHandledConstraint kHandledConstraints[] = {
    {"inversionNeeded", kInversionNeededConstraint, jsonz_typeBool},
};

}  // namespace tarn
