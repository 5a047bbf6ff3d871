// One search for the directories of a device interface under
// /proc/driver/ze/<driver>/deviceInterfaces/, in sorted path order.
#pragma once

#include <glob.h>

#include "platform/tDeviceInterfacePath.h"
#include "platform/tStatus.h"

namespace nKESTREL1400 {

class tDeviceInterfaceIterator {
 public:
  // Searches whatever the status holds; a failed search raises -52003, no
  // match is not an error.
  tDeviceInterfaceIterator(const char* interfaceName, tStatus& status) noexcept;
  ~tDeviceInterfaceIterator();
  tDeviceInterfaceIterator(const tDeviceInterfaceIterator&) = delete;
  tDeviceInterfaceIterator& operator=(const tDeviceInterfaceIterator&) = delete;

  bool isEnd() const noexcept { return cursor_ == nullptr || *cursor_ == nullptr; }
  // Advances to the next match; does nothing at the end.
  void next() noexcept {
    if (!isEnd()) ++cursor_;
  }
  // Reads the current match's interfacePath file. On failure `path` is left
  // as it was; nothing is read when the status already holds an error. At
  // the end there is no file to read: -52006.
  void getInterfacePath(tDeviceInterfacePath& path, tStatus& status) const noexcept;

 private:
  glob_t matches_{};
  char** cursor_ = nullptr;
};

}  // namespace nKESTREL1400
