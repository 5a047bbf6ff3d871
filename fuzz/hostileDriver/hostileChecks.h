// What the hostile-driver target checks after every call, whatever the
// driver answered: reports and answers are NUL-terminated JSON, and the
// descriptors and threads of the process are counted before and after.
#pragma once

#include <dirent.h>
#include <kestrel/quill_ra_kestrel.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "sim/models/tHostileModel.h"
#include "sim/system/tSimulator.h"

namespace hostile {

// Each run makes and removes a sandbox: in memory when the machine has
// /dev/shm, which keeps a run at a few milliseconds.
inline void keepSandboxesInMemory() {
  if (std::getenv("TMPDIR") == nullptr && access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 0);
}

inline int countEntries(const char* folder) {
  DIR* directory = opendir(folder);
  if (directory == nullptr) std::abort();
  int count = 0;
  while (readdir(directory) != nullptr) ++count;
  closedir(directory);
  return count;
}

// A strict parse; anything but valid JSON aborts.
inline nlohmann::json parseOrAbort(const char* text) {
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& failure) {
    std::fprintf(stderr, "not valid JSON (%s): %s\n", failure.what(), text);
    std::abort();
  }
}

// A status report as the routing framework keeps one (its buffer grown
// with realloc, the unused bytes zero and the last one 'J').
class tReport {
 public:
  tReport() noexcept = default;
  ~tReport() { grow(&record_, 0); }
  tReport(const tReport&) = delete;
  tReport& operator=(const tReport&) = delete;
  operator tStatusReport*() noexcept { return &record_; }
  std::int32_t code() const noexcept { return record_.code; }

  static bool grow(tStatusReport* record, std::int32_t size) {
    if (size <= 0) {
      std::free(record->report);
      record->report = nullptr;
      record->capacity = 0;
      return size == 0;
    }
    if (size <= record->capacity) return true;
    auto* grown = static_cast<char*>(std::realloc(record->report, static_cast<std::size_t>(size)));
    if (grown == nullptr) return false;
    if (record->report == nullptr) grown[0] = '\0';
    const std::size_t used = std::strlen(grown) + 1;
    std::memset(grown + used, 0, static_cast<std::size_t>(size) - used);
    grown[size - 1] = 'J';
    record->report = grown;
    record->capacity = size;
    return true;
  }

  // The report text ends inside its buffer and is a JSON object (or empty).
  void check() const { checkRecord(record_); }
  static void checkRecord(const tStatusReport& record) {
    if (record.report == nullptr) return;
    if (record.capacity <= 0 || std::memchr(record.report, 0, static_cast<std::size_t>(record.capacity)) == nullptr) {
      std::abort();
    }
    if (record.report[0] == '\0') return;
    if (!parseOrAbort(record.report).is_object()) std::abort();
  }

 private:
  tStatusReport record_{0, 0, &grow, nullptr};
};

// An answer the adaptor placed through the answer allocator: JSON when set.
inline void checkAnswer(char*& answer) {
  if (answer != nullptr) parseOrAbort(answer);
  std::free(answer);
  answer = nullptr;
}

// The routing session and the firmware update of one run.
void useRouting(nKESTRELSIM::tSimulator& sim, nKESTRELSIM::tByteScript& script);
void useFirmwareUpdate(nKESTRELSIM::tSimulator& sim, nKESTRELSIM::tByteScript& script);

}  // namespace hostile
