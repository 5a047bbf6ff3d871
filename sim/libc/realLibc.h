// The C library's own functions, behind the simulator's interposed ones.
#pragma once

#include <dirent.h>
#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

namespace nKESTRELSIM::nRealLibc {

// The next definition of `name` after the simulator (dlsym RTLD_NEXT).
void* nextSymbol(const char* name) noexcept;

int open(const char* path, int flags, mode_t mode) noexcept;
int openat(int directory, const char* path, int flags, mode_t mode) noexcept;
FILE* fopen(const char* path, const char* mode) noexcept;
int close(int descriptor) noexcept;
int ioctl(int descriptor, unsigned long request, void* argument) noexcept;
int socket(int domain, int type, int protocol) noexcept;
int bind(int descriptor, const sockaddr* address, socklen_t size) noexcept;
int getsockname(int descriptor, sockaddr* address, socklen_t* size) noexcept;
int getsockopt(int descriptor, int level, int name, void* value, socklen_t* size) noexcept;
int setsockopt(int descriptor, int level, int name, const void* value, socklen_t size) noexcept;
ssize_t recvmsg(int descriptor, msghdr* message, int flags) noexcept;
int poll(pollfd* descriptors, nfds_t count, int timeoutMs) noexcept;
int stat(const char* path, struct stat* result) noexcept;
FILE* popen(const char* command, const char* mode) noexcept;
int system(const char* command) noexcept;
int glob(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) noexcept;

}  // namespace nKESTRELSIM::nRealLibc
