// The C library functions the recorder sits in front of. Each forwards to
// what lies beneath (the C library on a controller, the simulator when
// stacked on it) and writes the exchange when the call reached the driver:
// discovery under /proc, driver files, device nodes, generic netlink
// sockets, the safe-mode tools. Every other call passes untouched.
#include <fcntl.h>
#include <glob.h>
#include <stdarg.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/driverWireFormat.h"
#include "sim/libc/realLibc.h"
#include "sim/recorder/recordRequest.h"
#include "sim/recorder/tRecorder.h"

using nKESTRELSIM::tRecordedCall;
using nKESTRELSIM::tRecorder;
namespace nReal = nKESTRELSIM::nRealLibc;

#define KESTREL_RECORD_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::string_view kToolFolder = "/usr/local/zecorp/";
constexpr std::size_t kMaxToolOutput = 1024 * 1024;

// Calls whose errno the recorder must hand back as the call left it.
class tKeptErrno {
 public:
  tKeptErrno() noexcept : error_(errno) {}
  ~tKeptErrno() { errno = error_; }
  tKeptErrno(const tKeptErrno&) = delete;
  tKeptErrno& operator=(const tKeptErrno&) = delete;
  int error() const noexcept { return error_; }

 private:
  int error_;
};

mode_t modeArgument(int flags, va_list& arguments) {
  const bool hasMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return hasMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

bool isDriverSocket(int domain, int protocol) {
  return domain == AF_NETLINK && protocol == nKESTREL1400::nDriverWire::kNetlinkGeneric;
}

bool runsTool(const char* command) { return command != nullptr && std::strstr(command, kToolFolder.data()) != nullptr; }

int openAny(const char* path, int flags, mode_t mode) {
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || path == nullptr) return nReal::open(path, flags, mode);
  if (tRecorder::isDriverFile(path)) recorder->recordDriverFile(path);
  const bool device = recorder->isDevicePath(path);
  const int descriptor = nReal::open(path, flags, mode);
  if (!device) return descriptor;
  tKeptErrno kept;
  if (descriptor >= 0) recorder->trackDevice(descriptor);
  auto line = recorder->line(tRecordedCall::kOpen);
  line.text("path", path).number("flags", flags).number("fd", descriptor).number("error", descriptor < 0 ? kept.error() : 0);
  recorder->write(line);
  return descriptor;
}

int openAtAny(int directory, const char* path, int flags, mode_t mode) {
  if (path != nullptr && path[0] == '/') return openAny(path, flags, mode);
  return nReal::openat(directory, path, flags, mode);
}

FILE* fopenAny(const char* path, const char* mode) {
  tRecorder* recorder = tRecorder::active();
  if (recorder != nullptr && tRecorder::isDriverFile(path)) recorder->recordDriverFile(path);
  return nReal::fopen(path, mode);
}

void recordSocketCall(tRecorder& recorder, tRecordedCall call, int descriptor, const void* bytes, std::size_t size,
                      int result, int error) {
  auto line = recorder.line(call);
  line.number("fd", descriptor).hex("bytes", {static_cast<const std::uint8_t*>(bytes), bytes == nullptr ? 0 : size});
  line.number("result", result).number("error", result < 0 ? error : 0);
  recorder.write(line);
}

std::string received(const msghdr* message, ssize_t count) {
  std::string bytes;
  for (std::size_t i = 0; i < message->msg_iovlen && bytes.size() < static_cast<std::size_t>(count); ++i) {
    const std::size_t take = std::min(message->msg_iov[i].iov_len, static_cast<std::size_t>(count) - bytes.size());
    bytes.append(static_cast<const char*>(message->msg_iov[i].iov_base), take);
  }
  return bytes;
}

// The tool's whole output, read now; the program reads it from memory and
// pclose answers the status the tool ended with.
FILE* recordPipe(tRecorder& recorder, const char* command, const char* mode) {
  FILE* tool = nReal::popen(command, mode);
  const int error = errno;
  std::string output;
  int status = -1;
  if (tool != nullptr) {
    char chunk[4096];
    std::size_t got = 0;
    while (output.size() < kMaxToolOutput && (got = std::fread(chunk, 1, sizeof chunk, tool)) > 0) output.append(chunk, got);
    using tClose = int (*)(FILE*);
    static const auto realClose = reinterpret_cast<tClose>(nReal::nextSymbol("pclose"));
    status = realClose(tool);
  }
  auto line = recorder.line(tRecordedCall::kPopen);
  line.text("command", command).hex("bytes", {reinterpret_cast<const std::uint8_t*>(output.data()), output.size()});
  line.number("result", status).number("error", tool == nullptr ? error : 0);
  recorder.write(line);
  if (tool == nullptr) {
    errno = error;
    return nullptr;
  }
  char* buffer = static_cast<char*>(std::malloc(output.size() + 1));
  if (buffer == nullptr) return nullptr;
  std::memcpy(buffer, output.data(), output.size());
  FILE* stream = fmemopen(buffer, output.size(), "r");
  if (stream == nullptr) {
    std::free(buffer);
    return nullptr;
  }
  recorder.keepPipe(stream, buffer, status);
  return stream;
}

}  // namespace

KESTREL_RECORD_EXPORT int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAny(path, flags, mode);
}

KESTREL_RECORD_EXPORT int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAny(path, flags, mode);
}

KESTREL_RECORD_EXPORT int __open_2(const char* path, int flags) { return openAny(path, flags, 0); }
KESTREL_RECORD_EXPORT int __open64_2(const char* path, int flags) { return openAny(path, flags, 0); }

KESTREL_RECORD_EXPORT int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAtAny(directory, path, flags, mode);
}

KESTREL_RECORD_EXPORT int openat64(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAtAny(directory, path, flags, mode);
}

KESTREL_RECORD_EXPORT FILE* fopen(const char* path, const char* mode) { return fopenAny(path, mode); }
KESTREL_RECORD_EXPORT FILE* fopen64(const char* path, const char* mode) { return fopenAny(path, mode); }

KESTREL_RECORD_EXPORT int close(int descriptor) {
  tRecorder* recorder = tRecorder::active();
  const bool tracked = recorder != nullptr && recorder->forget(descriptor);
  const int result = nReal::close(descriptor);
  if (!tracked) return result;
  tKeptErrno kept;
  auto line = recorder->line(tRecordedCall::kClose);
  line.number("fd", descriptor).number("result", result).number("error", result < 0 ? kept.error() : 0);
  recorder->write(line);
  return result;
}

KESTREL_RECORD_EXPORT int ioctl(int descriptor, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isDevice(descriptor)) return nReal::ioctl(descriptor, request, argument);
  try {
    return nKESTRELSIM::recordRequest(*recorder, descriptor, request, argument);
  } catch (...) {
    return nReal::ioctl(descriptor, request, argument);
  }
}

KESTREL_RECORD_EXPORT int socket(int domain, int type, int protocol) noexcept {
  const int descriptor = nReal::socket(domain, type, protocol);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !isDriverSocket(domain, protocol)) return descriptor;
  tKeptErrno kept;
  if (descriptor >= 0) recorder->trackSocket(descriptor);
  auto line = recorder->line(tRecordedCall::kSocket);
  line.number("domain", domain).number("type", type).number("protocol", protocol).number("fd", descriptor);
  line.number("error", descriptor < 0 ? kept.error() : 0);
  recorder->write(line);
  return descriptor;
}

KESTREL_RECORD_EXPORT int bind(int descriptor, const sockaddr* address, socklen_t size) noexcept {
  const int result = nReal::bind(descriptor, address, size);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isSocket(descriptor)) return result;
  tKeptErrno kept;
  recordSocketCall(*recorder, tRecordedCall::kBind, descriptor, address, size, result, kept.error());
  return result;
}

KESTREL_RECORD_EXPORT int getsockname(int descriptor, sockaddr* address, socklen_t* size) noexcept {
  const int result = nReal::getsockname(descriptor, address, size);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isSocket(descriptor)) return result;
  tKeptErrno kept;
  const std::size_t written = result == 0 && size != nullptr ? *size : 0;
  recordSocketCall(*recorder, tRecordedCall::kGetsockname, descriptor, address, written, result, kept.error());
  return result;
}

KESTREL_RECORD_EXPORT int setsockopt(int descriptor, int level, int name, const void* value, socklen_t size) noexcept {
  const int result = nReal::setsockopt(descriptor, level, name, value, size);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isSocket(descriptor)) return result;
  tKeptErrno kept;
  auto line = recorder->line(tRecordedCall::kSetsockopt);
  line.number("fd", descriptor).number("level", level).number("name", name);
  line.hex("bytes", {static_cast<const std::uint8_t*>(value), value == nullptr ? 0 : size});
  line.number("result", result).number("error", result < 0 ? kept.error() : 0);
  recorder->write(line);
  return result;
}

KESTREL_RECORD_EXPORT int getsockopt(int descriptor, int level, int name, void* value, socklen_t* size) noexcept {
  const int result = nReal::getsockopt(descriptor, level, name, value, size);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isSocket(descriptor)) return result;
  tKeptErrno kept;
  auto line = recorder->line(tRecordedCall::kGetsockopt);
  line.number("fd", descriptor).number("level", level).number("name", name);
  const std::size_t written = result == 0 && value != nullptr && size != nullptr ? *size : 0;
  line.hex("bytes", {static_cast<const std::uint8_t*>(value), written});
  line.number("result", result).number("error", result < 0 ? kept.error() : 0);
  recorder->write(line);
  return result;
}

// A receive that found nothing yet (EAGAIN, EINTR) exchanged nothing.
KESTREL_RECORD_EXPORT ssize_t recvmsg(int descriptor, msghdr* message, int flags) {
  const ssize_t result = nReal::recvmsg(descriptor, message, flags);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !recorder->isSocket(descriptor)) return result;
  tKeptErrno kept;
  if (result < 0 && (kept.error() == EAGAIN || kept.error() == EWOULDBLOCK || kept.error() == EINTR)) return result;
  const std::string bytes = result > 0 && message != nullptr ? received(message, result) : std::string();
  auto line = recorder->line(tRecordedCall::kRecvmsg);
  line.number("fd", descriptor).number("flags", flags);
  line.hex("bytes", {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  line.number("result", result).number("error", result < 0 ? kept.error() : 0);
  recorder->write(line);
  return result;
}

KESTREL_RECORD_EXPORT FILE* popen(const char* command, const char* mode) {
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !runsTool(command) || mode == nullptr || mode[0] != 'r') return nReal::popen(command, mode);
  try {
    return recordPipe(*recorder, command, mode);
  } catch (...) {
    errno = ENOMEM;
    return nullptr;
  }
}

KESTREL_RECORD_EXPORT int pclose(FILE* stream) {
  int status = 0;
  tRecorder* recorder = tRecorder::active();
  if (recorder != nullptr && recorder->takePipe(stream, status)) return status;
  using tClose = int (*)(FILE*);
  static const auto realClose = reinterpret_cast<tClose>(nReal::nextSymbol("pclose"));
  return realClose(stream);
}

KESTREL_RECORD_EXPORT int system(const char* command) {
  const int result = nReal::system(command);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !runsTool(command)) return result;
  tKeptErrno kept;
  auto line = recorder->line(tRecordedCall::kSystem);
  line.text("command", command).number("result", result);
  recorder->write(line);
  return result;
}

KESTREL_RECORD_EXPORT int glob(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) noexcept {
  const int answer = nReal::glob(pattern, flags, onError, result);
  tRecorder* recorder = tRecorder::active();
  if (recorder == nullptr || !tRecorder::isDriverFile(pattern)) return answer;
  tKeptErrno kept;
  try {
    std::vector<std::string> paths;
    const std::size_t first = (flags & GLOB_DOOFFS) != 0 ? result->gl_offs : 0;
    for (std::size_t i = 0; answer == 0 && i < result->gl_pathc; ++i) paths.emplace_back(result->gl_pathv[first + i]);
    auto line = recorder->line(tRecordedCall::kGlob);
    line.text("pattern", pattern).number("flags", flags).number("result", answer).texts("paths", paths);
    recorder->write(line);
  } catch (...) {
  }
  return answer;
}
