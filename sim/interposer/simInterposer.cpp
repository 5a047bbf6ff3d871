// The C library functions the simulated controller stands in for. Each
// consults the started simulator, outside the simulator's own work;
// otherwise, and for everything not simulated, the C library answers.
#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "sim/libc/realLibc.h"
#include "sim/libc/tReentryGuard.h"
#include "sim/system/tSimulator.h"

using nKESTRELSIM::tReentryGuard;
using nKESTRELSIM::tSimulator;
namespace nReal = nKESTRELSIM::nRealLibc;

namespace {

tSimulator* simulatorOutside() noexcept { return tReentryGuard::isOutside() ? tSimulator::active() : nullptr; }

// The mode argument is there only with O_CREAT or O_TMPFILE (which
// includes the O_DIRECTORY bit, so it is tested as a whole).
mode_t modeArgument(int flags, va_list& arguments) {
  const bool hasMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return hasMode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int openAny(const char* path, int flags, mode_t mode) {
  if (tSimulator* simulator = simulatorOutside()) {
    tReentryGuard guard;
    return simulator->openPath(path, flags, mode);
  }
  return nReal::open(path, flags, mode);
}

// Relative paths of openat stay with the C library.
int openAtAny(int directory, const char* path, int flags, mode_t mode) {
  if (path != nullptr && path[0] == '/') return openAny(path, flags, mode);
  return nReal::openat(directory, path, flags, mode);
}

FILE* fopenAny(const char* path, const char* mode) {
  if (tSimulator* simulator = simulatorOutside()) {
    tReentryGuard guard;
    return simulator->fopenPath(path, mode);
  }
  return nReal::fopen(path, mode);
}

int statAny(const char* path, struct stat* result) {
  if (tSimulator* simulator = simulatorOutside()) {
    tReentryGuard guard;
    return simulator->statPath(path, result);
  }
  return nReal::stat(path, result);
}

}  // namespace

#define KESTREL_SIM_FORWARD(call, real)  \
  if (tSimulator* simulator = simulatorOutside()) { \
    tReentryGuard guard;                    \
    return simulator->call;                 \
  }                                         \
  return real

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAny(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAny(path, flags, mode);
}

int __open_2(const char* path, int flags) { return openAny(path, flags, 0); }
int __open64_2(const char* path, int flags) { return openAny(path, flags, 0); }

int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAtAny(directory, path, flags, mode);
}

int openat64(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = modeArgument(flags, arguments);
  va_end(arguments);
  return openAtAny(directory, path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) { return fopenAny(path, mode); }
FILE* fopen64(const char* path, const char* mode) { return fopenAny(path, mode); }

int close(int descriptor) {
  KESTREL_SIM_FORWARD(closeDescriptor(descriptor), nReal::close(descriptor));
}

int ioctl(int descriptor, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  KESTREL_SIM_FORWARD(ioctlDescriptor(descriptor, request, argument), nReal::ioctl(descriptor, request, argument));
}

int socket(int domain, int type, int protocol) noexcept {
  KESTREL_SIM_FORWARD(createSocket(domain, type, protocol), nReal::socket(domain, type, protocol));
}

int bind(int descriptor, const sockaddr* address, socklen_t size) noexcept {
  KESTREL_SIM_FORWARD(bindSocket(descriptor, address, size), nReal::bind(descriptor, address, size));
}

int getsockname(int descriptor, sockaddr* address, socklen_t* size) noexcept {
  KESTREL_SIM_FORWARD(socketName(descriptor, address, size), nReal::getsockname(descriptor, address, size));
}

int getsockopt(int descriptor, int level, int name, void* value, socklen_t* size) noexcept {
  KESTREL_SIM_FORWARD(getSocketOption(descriptor, level, name, value, size),
                      nReal::getsockopt(descriptor, level, name, value, size));
}

int setsockopt(int descriptor, int level, int name, const void* value, socklen_t size) noexcept {
  KESTREL_SIM_FORWARD(setSocketOption(descriptor, level, name, value, size),
                      nReal::setsockopt(descriptor, level, name, value, size));
}

ssize_t recvmsg(int descriptor, msghdr* message, int flags) {
  KESTREL_SIM_FORWARD(receiveMessage(descriptor, message, flags), nReal::recvmsg(descriptor, message, flags));
}

int poll(pollfd* descriptors, nfds_t count, int timeoutMs) {
  KESTREL_SIM_FORWARD(pollDescriptors(descriptors, count, timeoutMs), nReal::poll(descriptors, count, timeoutMs));
}

int stat(const char* path, struct stat* result) noexcept { return statAny(path, result); }
int stat64(const char* path, struct stat64* result) noexcept {
  return statAny(path, reinterpret_cast<struct stat*>(result));
}

FILE* popen(const char* command, const char* mode) {
  KESTREL_SIM_FORWARD(openPipe(command, mode), nReal::popen(command, mode));
}

int system(const char* command) {
  KESTREL_SIM_FORWARD(runCommand(command), nReal::system(command));
}

int glob(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) noexcept {
  KESTREL_SIM_FORWARD(globPattern(pattern, flags, onError, result), nReal::glob(pattern, flags, onError, result));
}

}  // extern "C"
