// A report owner's reallocation as a framework may write it: a buffer of
// exactly the size asked for, the text kept and the rest zero-filled,
// without the writer's sentinel. Size 0 releases the buffer.
#pragma once

#include <kestrel/quill_ra_kestrel.h>

#include <cstdlib>
#include <cstring>

inline bool zeroFillingReallocate(tStatusReport* record, std::int32_t size) {
  if (size == 0) {
    std::free(record->report);
    record->report = nullptr;
    record->capacity = 0;
    return true;
  }
  if (size <= record->capacity) return true;
  auto* grown = static_cast<char*>(std::calloc(static_cast<std::size_t>(size), 1));
  if (grown == nullptr) return false;
  if (record->report != nullptr) std::memcpy(grown, record->report, std::strlen(record->report));
  std::free(record->report);
  record->report = grown;
  record->capacity = size;
  return true;
}
