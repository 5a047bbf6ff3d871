#include "sim/libc/realLibc.h"

#include <dlfcn.h>

namespace nKESTRELSIM::nRealLibc {

void* nextSymbol(const char* name) noexcept { return dlsym(RTLD_NEXT, name); }

namespace {

// Resolves the function once, on first use.
template <class Function>
Function next(const char* name) noexcept {
  return reinterpret_cast<Function>(nextSymbol(name));
}

}  // namespace

#define KESTREL_SIM_NEXT(name, ...) static const auto function = next<__VA_ARGS__>(#name)

int open(const char* path, int flags, mode_t mode) noexcept {
  KESTREL_SIM_NEXT(open, int (*)(const char*, int, ...));
  return function(path, flags, mode);
}
int openat(int directory, const char* path, int flags, mode_t mode) noexcept {
  KESTREL_SIM_NEXT(openat, int (*)(int, const char*, int, ...));
  return function(directory, path, flags, mode);
}
FILE* fopen(const char* path, const char* mode) noexcept {
  KESTREL_SIM_NEXT(fopen, FILE* (*)(const char*, const char*));
  return function(path, mode);
}
int close(int descriptor) noexcept {
  KESTREL_SIM_NEXT(close, int (*)(int));
  return function(descriptor);
}
int ioctl(int descriptor, unsigned long request, void* argument) noexcept {
  KESTREL_SIM_NEXT(ioctl, int (*)(int, unsigned long, ...));
  return function(descriptor, request, argument);
}
int socket(int domain, int type, int protocol) noexcept {
  KESTREL_SIM_NEXT(socket, int (*)(int, int, int));
  return function(domain, type, protocol);
}
int bind(int descriptor, const sockaddr* address, socklen_t size) noexcept {
  KESTREL_SIM_NEXT(bind, int (*)(int, const sockaddr*, socklen_t));
  return function(descriptor, address, size);
}
int getsockname(int descriptor, sockaddr* address, socklen_t* size) noexcept {
  KESTREL_SIM_NEXT(getsockname, int (*)(int, sockaddr*, socklen_t*));
  return function(descriptor, address, size);
}
int getsockopt(int descriptor, int level, int name, void* value, socklen_t* size) noexcept {
  KESTREL_SIM_NEXT(getsockopt, int (*)(int, int, int, void*, socklen_t*));
  return function(descriptor, level, name, value, size);
}
int setsockopt(int descriptor, int level, int name, const void* value, socklen_t size) noexcept {
  KESTREL_SIM_NEXT(setsockopt, int (*)(int, int, int, const void*, socklen_t));
  return function(descriptor, level, name, value, size);
}
ssize_t recvmsg(int descriptor, msghdr* message, int flags) noexcept {
  KESTREL_SIM_NEXT(recvmsg, ssize_t (*)(int, msghdr*, int));
  return function(descriptor, message, flags);
}
int poll(pollfd* descriptors, nfds_t count, int timeoutMs) noexcept {
  KESTREL_SIM_NEXT(poll, int (*)(pollfd*, nfds_t, int));
  return function(descriptors, count, timeoutMs);
}
int stat(const char* path, struct stat* result) noexcept {
  KESTREL_SIM_NEXT(stat, int (*)(const char*, struct stat*));
  return function(path, result);
}
FILE* popen(const char* command, const char* mode) noexcept {
  KESTREL_SIM_NEXT(popen, FILE* (*)(const char*, const char*));
  return function(command, mode);
}
int system(const char* command) noexcept {
  KESTREL_SIM_NEXT(system, int (*)(const char*));
  return function(command);
}
int glob(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) noexcept {
  KESTREL_SIM_NEXT(glob, int (*)(const char*, int, int (*)(const char*, int), glob_t*));
  return function(pattern, flags, onError, result);
}

}  // namespace nKESTRELSIM::nRealLibc
