// The directory that stands in for the controller's files: each path the
// program uses under one of the simulated prefixes lies below its root.
// Guarded by the simulator's lock.
#pragma once

#include <glob.h>

#include <cstddef>
#include <string>

namespace nKESTRELSIM {

class tSandbox {
 public:
  // A new temporary directory when `root` is empty (removed again by
  // close()), else the given one (kept; created unless `createRoot` is
  // false, as for a program whose run made it). Throws
  // std::runtime_error when no directory can be made.
  void open(const std::string& root, bool createRoot);
  void close();
  const std::string& root() const noexcept { return root_; }
  // Where a path the program uses lies in the sandbox ("" when the path
  // is not simulated or there is no sandbox).
  std::string pathFor(const std::string& path) const;
  static bool isDevicePath(const char* path);

  // Each writes below the root at the path the program sees, making the
  // folders on the way; std::runtime_error when it cannot.
  void writeFile(const std::string& path, const void* data, std::size_t size) const;
  void createDeviceNode(const std::string& path) const;
  void createDirectory(const std::string& path) const;
  // An executable under /usr/local/zecorp/bin.
  void installTool(const std::string& name, const std::string& script) const;
  void writeSmBiosDump(const void* data, std::size_t size) const;

  // A command line as the sandbox runs it: without a leading
  // `sudo --non-interactive `, with the tools taken from the sandbox.
  std::string commandLine(const std::string& command) const;
  // Cuts the root off the matches a glob in the sandbox added from
  // `first` on (in place: each path only gets shorter).
  void unrootMatches(glob_t* result, std::size_t first, int flags) const;

 private:
  std::string root_;
  bool ownsRoot_ = false;
};

}  // namespace nKESTRELSIM
