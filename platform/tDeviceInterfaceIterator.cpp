#include "platform/tDeviceInterfaceIterator.h"

#include <cstdio>

#include "kestrel/kestrel.h"
#include "platform/linuxDevEnumHelper.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tDeviceInterfaceIterator";
constexpr std::size_t kPatternSize = 4096;
constexpr std::uint32_t kNoMatchLine = 110;  // getInterfacePath without a current match
// The interface name, one literal backslash, any suffix.
constexpr const char* kPatternFormat = "/proc/driver/ze/*/deviceInterfaces/%s\\\\*";

}  // namespace

tDeviceInterfaceIterator::tDeviceInterfaceIterator(const char* interfaceName, tStatus& status) noexcept {
  char pattern[kPatternSize];
  std::snprintf(pattern, sizeof pattern, kPatternFormat, interfaceName);
  const int result = glob(pattern, GLOB_ONLYDIR, nullptr, &matches_);
  if (result == 0) {
    cursor_ = matches_.gl_pathv;
  } else if (result != GLOB_NOMATCH) {
    status.setCode(brioerr_resourceFailure, kComponent, kFile, 44);
  }
}

tDeviceInterfaceIterator::~tDeviceInterfaceIterator() { globfree(&matches_); }

void tDeviceInterfaceIterator::getInterfacePath(tDeviceInterfacePath& path, tStatus& status) const noexcept {
  if (isEnd()) {
    status.setCode(brioerr_deviceNotFound, kComponent, kFile, kNoMatchLine);
    return;
  }
  char filePath[kPatternSize];
  std::snprintf(filePath, sizeof filePath, "%s/interfacePath", *cursor_);
  if (status.isError()) return;
  std::size_t count = 0;
  const tSmallFileRead read = readSmallFile(filePath, path.path, kMaxInterfaceFileSize, count, status);
  if (read == tSmallFileRead::kTooLong) {
    status.setCode(brioerr_noBuffers, kComponent, kFile, 123);
    return;
  }
  if (status.isError()) return;
  path.path[count] = '\0';
  path.length = count + 1;
}

}  // namespace nKESTREL1400
