#include "sim/recorder/tRecorder.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sim/libc/descriptorPlacement.h"
#include "sim/libc/realLibc.h"
#include "sim/record/recordingFormat.h"
#include "sim/record/redaction.h"

namespace nKESTRELSIM {

namespace {

constexpr const char* kDriverFilePrefixes[] = {"/proc/driver/ze/", "/run/zesvc/"};
constexpr std::string_view kInterfacePathFile = "/interfacePath";
// A driver file larger than this is recorded as far as this.
constexpr std::size_t kMaxDriverFile = 16u * 1024 * 1024;
constexpr int kRecorderFailure = 125;

std::int64_t now() noexcept {
  timespec time{};
  clock_gettime(CLOCK_REALTIME, &time);
  return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

std::string readWhole(const char* path, int& error) {
  std::string content;
  FILE* file = nRealLibc::fopen(path, "re");
  if (file == nullptr) {
    error = errno;
    return content;
  }
  char chunk[4096];
  std::size_t got = 0;
  while (content.size() < kMaxDriverFile && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    content.append(chunk, got);
  }
  error = std::ferror(file) ? EIO : 0;
  std::fclose(file);
  return content;
}

// The device node an interface's path file names: its first line.
std::string firstLine(const std::string& content) {
  const auto end = content.find_first_of("\r\n");
  return content.substr(0, end);
}

// Set on the thread that forks, between the fork's prepare handler and its
// parent or child handler, while it holds the lock for the fork: other
// libraries' fork handlers (the simulator's closes its connection in the
// child) may call into the recorder on that thread meanwhile.
thread_local bool tHoldsForFork = false;

// Asked once per process and thread rather than on every line; a forked
// child's one thread asks again.
std::int64_t gProcess = 0;
thread_local std::int64_t tThread = 0;

std::int64_t thisProcess() noexcept {
  if (gProcess == 0) gProcess = ::getpid();
  return gProcess;
}

std::int64_t thisThread() noexcept {
  if (tThread == 0) tThread = static_cast<std::int64_t>(::syscall(SYS_gettid));
  return tThread;
}

class tHeld {
 public:
  explicit tHeld(std::mutex& lock) : lock_(tHoldsForFork ? nullptr : &lock) {
    if (lock_ != nullptr) lock_->lock();
  }
  ~tHeld() {
    if (lock_ != nullptr) lock_->unlock();
  }
  tHeld(const tHeld&) = delete;
  tHeld& operator=(const tHeld&) = delete;

 private:
  std::mutex* lock_;
};

}  // namespace

tRecorder::tRecorder(int file, bool redact) : file_(file), redact_(redact) {}

tRecorder* tRecorder::active() noexcept {
  static tRecorder* const recorder = startFromEnvironment();
  return recorder;
}

// A program asked to be recorded is not run unrecorded: a recording that
// silently lacks a process would mislead whoever replays it.
tRecorder* tRecorder::startFromEnvironment() noexcept {
  const char* path = std::getenv(nRecording::kFileVariable);
  if (path == nullptr || path[0] == '\0') return nullptr;
  const int opened = nRealLibc::open(path, O_WRONLY | O_APPEND | O_CLOEXEC, 0);
  const int file = aboveStandardStreams(opened);
  if (file == -1) {
    std::fprintf(stderr, "kestrel-record: cannot append to the recording %s: %s\n", path, std::strerror(errno));
    _exit(kRecorderFailure);
  }
  const char* redact = std::getenv(nRecording::kRedactVariable);
  static tRecorder recorder(file, redact != nullptr && std::strcmp(redact, "1") == 0);
  pthread_atfork(lockForFork, unlockAfterFork, childAfterFork);
  return &recorder;
}

// No thread of the parent holds the lock in the child.
void tRecorder::lockForFork() noexcept {
  if (tRecorder* recorder = active()) {
    recorder->lock_.lock();
    tHoldsForFork = true;
  }
}
void tRecorder::childAfterFork() noexcept {
  gProcess = 0;
  tThread = 0;
  unlockAfterFork();
}
void tRecorder::unlockAfterFork() noexcept {
  if (tRecorder* recorder = active()) {
    tHoldsForFork = false;
    recorder->lock_.unlock();
  }
}

tRecordLine tRecorder::line(tRecordedCall call) const {
  return tRecordLine(call, thisProcess(), thisThread(), now());
}

// One write per line: the file is opened for appending, so the lines of
// the program's processes and threads never cut into one another.
void tRecorder::write(tRecordLine& line) noexcept {
  const int error = errno;
  const std::string& text = line.finish();
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(file_, text.data() + done, text.size() - done);
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
    } else if (wrote == -1 && errno != EINTR) {
      static bool said = false;
      if (!said) std::fprintf(stderr, "kestrel-record: cannot write the recording: %s\n", std::strerror(errno));
      said = true;
      break;
    }
  }
  errno = error;
}

bool tRecorder::isDriverFile(const char* path) noexcept {
  if (path == nullptr) return false;
  for (const char* prefix : kDriverFilePrefixes) {
    if (std::strncmp(path, prefix, std::strlen(prefix)) == 0) return true;
  }
  return false;
}

void tRecorder::recordDriverFile(const char* path) {
  const int error = errno;
  int readError = 0;
  std::string content = readWhole(path, readError);
  const std::string_view name(path);
  if (readError == 0 && name.size() >= kInterfacePathFile.size() &&
      name.substr(name.size() - kInterfacePathFile.size()) == kInterfacePathFile) {
    tHeld guard(lock_);
    devicePaths_.insert(firstLine(content));
  }
  auto record = line(tRecordedCall::kFile);
  record.text("path", path).number("error", readError);
  std::vector<std::uint8_t> bytes(content.begin(), content.end());
  if (redact_) redactDriverFile(path, bytes);
  record.hex("bytes", bytes);
  write(record);
  errno = error;
}

bool tRecorder::isDevicePath(const char* path) const {
  if (path == nullptr) return false;
  tHeld guard(lock_);
  return devicePaths_.count(path) != 0;
}

void tRecorder::trackDevice(int descriptor) {
  tHeld guard(lock_);
  devices_.insert(descriptor);
}

void tRecorder::trackSocket(int descriptor) {
  tHeld guard(lock_);
  sockets_.insert(descriptor);
}

bool tRecorder::isDevice(int descriptor) const {
  tHeld guard(lock_);
  return devices_.count(descriptor) != 0;
}

bool tRecorder::isSocket(int descriptor) const {
  tHeld guard(lock_);
  return sockets_.count(descriptor) != 0;
}

bool tRecorder::forget(int descriptor) {
  tHeld guard(lock_);
  return devices_.erase(descriptor) + sockets_.erase(descriptor) != 0;
}

void tRecorder::keepPipe(FILE* stream, char* buffer, int status) {
  tHeld guard(lock_);
  pipes_[stream] = tPipe{buffer, status};
}

bool tRecorder::takePipe(FILE* stream, int& status) {
  tHeld guard(lock_);
  const auto found = pipes_.find(stream);
  if (found == pipes_.end()) return false;
  status = found->second.status;
  std::fclose(stream);
  std::free(found->second.buffer);
  pipes_.erase(found);
  return true;
}

}  // namespace nKESTRELSIM
