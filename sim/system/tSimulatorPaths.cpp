// The interposed calls on paths and commands: open, fopen, stat and glob
// answered from the sandbox, popen and system from the sandbox's tools
// and the safe-mode installer.
#include <glob.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "sim/driver/tDriverClient.h"
#include "sim/libc/realLibc.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

// What is not simulated goes to the C library without the simulator's lock:
// it may block (a FIFO's open, a receive on the program's own socket) while
// other threads use the simulated controller.
int tSimulator::openPath(const char* path, int flags, mode_t mode) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::open(path, flags, mode);
  }
  noteSimulatedUse();
  if (faulted(tCall::kOpen)) return -1;
  // A device whose driver has gone is not there to open.
  if (driver_ && driver_->gone() && tSandbox::isDevicePath(path)) {
    errno = ENODEV;
    return -1;
  }
  const int descriptor = nRealLibc::open(sandbox.c_str(), flags, mode);
  if (descriptor == -1) return -1;
  tDeviceNode* node = devices_.at(path);
  if (node == nullptr) return descriptor;
  if (!driver_) {
    devices_.open(descriptor, *node);
  } else if (driver_->open(descriptor, path) == -1) {
    const int error = errno;
    nRealLibc::close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

FILE* tSimulator::fopenPath(const char* path, const char* mode) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::fopen(path, mode);
  }
  noteSimulatedUse();
  if (faulted(tCall::kFopen)) return nullptr;
  return nRealLibc::fopen(sandbox.c_str(), mode);
}

int tSimulator::statPath(const char* path, struct stat* result) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::stat(path, result);
  }
  noteSimulatedUse();
  if (faulted(tCall::kStat)) return -1;
  return nRealLibc::stat(sandbox.c_str(), result);
}

FILE* tSimulator::openPipe(const char* command, const char* mode) {
  std::string rewritten;
  {
    std::lock_guard lock(lock_);
    if (command == nullptr) return nRealLibc::popen(command, mode);
    commands_.push_back(command);
    if (faulted(tCall::kPopen)) return nullptr;
    rewritten = sandbox_.commandLine(command);
  }
  return nRealLibc::popen(rewritten.c_str(), mode);
}

int tSimulator::runCommand(const char* command) {
  std::lock_guard lock(lock_);
  if (command == nullptr) return nRealLibc::system(command);
  commands_.push_back(command);
  if (const auto fault = faults_.takeCallFault(tCall::kSystem)) return *fault;
  // The install tool is answered here; no command line reaches a shell.
  const int status = safeMode_.run(command);
  if (status == 0 && !safeMode_.installed().empty()) images_.announce(sandbox_.root(), "SAFEMODE", safeMode_.installed().back().bytes);
  return status;
}

// Answered from the sandbox with the C library's glob; the sandbox root is
// cut off the matches again (in place: each path only gets shorter).
int tSimulator::globPattern(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) {
  std::string sandbox;
  {
    std::lock_guard lock(lock_);
    sandbox = pattern == nullptr ? std::string() : sandboxPath(pattern);
    if (sandbox.empty()) return nRealLibc::glob(pattern, flags, onError, result);
    noteSimulatedUse();
    if (const auto fault = faults_.takeCallFault(tCall::kGlob)) return *fault;
  }
  const std::size_t first = (flags & GLOB_APPEND) != 0 ? result->gl_pathc : 0;
  const int status = nRealLibc::glob(sandbox.c_str(), flags, onError, result);
  if (status != 0 && status != GLOB_NOMATCH) return status;
  sandbox_.unrootMatches(result, first, flags);
  return status;
}

}  // namespace nKESTRELSIM
