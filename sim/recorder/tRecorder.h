// The recorder in a program's process: which of the program's descriptors
// reach the driver (device nodes named by the interfaces' path files,
// generic netlink sockets), and the recording file every process of the
// program appends its exchanges to, one whole line per write.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "sim/record/tRecordLine.h"

namespace nKESTRELSIM {

class tRecorder {
 public:
  // The process's recorder; nullptr when no recording file is named.
  static tRecorder* active() noexcept;

  tRecordLine line(tRecordedCall call) const;
  void write(tRecordLine& line) noexcept;
  bool redacts() const noexcept { return redact_; }

  // A driver file (discovery, the SMBIOS dump) read whole before the
  // program reads it; an interface's path file names a device node.
  static bool isDriverFile(const char* path) noexcept;
  void recordDriverFile(const char* path);
  bool isDevicePath(const char* path) const;

  void trackDevice(int descriptor);
  void trackSocket(int descriptor);
  bool isDevice(int descriptor) const;
  bool isSocket(int descriptor) const;
  // Forgets the descriptor; true when it was a device node or socket.
  bool forget(int descriptor);

  // Tool output read whole when the tool ran; pclose answers its status.
  void keepPipe(FILE* stream, char* buffer, int status);
  // True (and the status) when the stream is one of keepPipe's.
  bool takePipe(FILE* stream, int& status);

 private:
  tRecorder(int file, bool redact);
  static tRecorder* startFromEnvironment() noexcept;
  static void lockForFork() noexcept;
  static void unlockAfterFork() noexcept;
  static void childAfterFork() noexcept;

  struct tPipe {
    char* buffer;
    int status;
  };

  int file_;
  bool redact_;
  mutable std::mutex lock_;
  std::set<std::string> devicePaths_;
  std::set<int> devices_;
  std::set<int> sockets_;
  std::map<FILE*, tPipe> pipes_;
};

}  // namespace nKESTRELSIM
