// Every status code the library reports, with its name and a one-line
// meaning, for messages and the trace.
#pragma once

#include <cstdint>
#include <span>

#include "kestrel/kestrel_status.h"

namespace nKESTREL1400 {

struct tStatusCodeInfo {
  std::int32_t code;
  const char* name;
  const char* meaning;
};

// One table for the library and for applications: the rows are those of the
// public header.
#define KESTREL_STATUS_CODE_ROW(code, name, meaning) {code, name, meaning},
inline constexpr tStatusCodeInfo kStatusCodeTable[] = {KESTREL_STATUS_TABLE(KESTREL_STATUS_CODE_ROW)};
#undef KESTREL_STATUS_CODE_ROW

// The entry of a code, or null for a code the library never reports.
constexpr const tStatusCodeInfo* findStatusCode(std::int32_t code) {
  for (const auto& entry : kStatusCodeTable) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

constexpr const char* statusCodeName(std::int32_t code) {
  const tStatusCodeInfo* entry = findStatusCode(code);
  return entry != nullptr ? entry->name : "unknown status";
}

}  // namespace nKESTREL1400
