#include "platform/linuxDevEnumHelper.h"

#include <cstdio>
#include <cstring>

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "linuxDevEnumHelper";
constexpr int kOpenAttempts = 10;
constexpr std::size_t kScratchSize = 4096;

FILE* openWithRetry(const char* filePath) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (FILE* file = std::fopen(filePath, "re")) return file;
  }
  return nullptr;
}

}  // namespace

tSmallFileRead readSmallFile(const char* filePath, char* destination, std::size_t capacity, std::size_t& count,
                             tStatus& status) noexcept {
  count = 0;
  FILE* file = openWithRetry(filePath);
  if (file == nullptr) {
    status.setCode(brioerr_deviceNotFound, kComponent, kFile, 87);
    return tSmallFileRead::kFailed;
  }
  char scratch[kScratchSize];
  const std::size_t bytes = std::fread(scratch, 1, sizeof scratch, file);
  if (std::ferror(file) != 0) {
    status.setCode(brioerr_ioFailure, kComponent, kFile, 78);
    std::fclose(file);
    return tSmallFileRead::kFailed;
  }
  std::fclose(file);
  if (bytes > capacity) {
    status.setCode(brioerr_noBuffers, kComponent, kFile, 72);
    return tSmallFileRead::kTooLong;
  }
  if (bytes != 0) std::memcpy(destination, scratch, bytes);
  count = bytes;
  return tSmallFileRead::kRead;
}

}  // namespace nKESTREL1400
