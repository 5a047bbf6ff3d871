// A client program of the public interface, for running under kestrel-sim:
// prints the trigger router's device path. With "--closed N" (N one of the
// standard streams the launcher was given closed) it prints nothing and
// answers whether N is still closed after the library reached the driver.
// With "--wait" it opens the watchdog, says "waiting", and prints what its
// wait for a notification ended with.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kestrel/kestrel.h"

int main(int argc, char** argv) {
  char path[256];
  uint64_t length = sizeof path;
  const int32_t code = KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, path, &length);
  if (argc == 3 && std::strcmp(argv[1], "--closed") == 0) {
    const int descriptor = std::atoi(argv[2]);
    const bool closed = fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
    return code < 0 ? 1 : closed ? 0 : 4;
  }
  if (argc == 2 && std::strcmp(argv[1], "--wait") == 0) {
    tKestrelHandle watchdog = 0;
    if (KESTREL_openWatchdog(&watchdog) < 0) return 1;
    std::printf("waiting\n");
    std::fflush(stdout);
    int32_t value = -1;
    const int32_t waited = KESTREL_waitForWatchdogNotification(watchdog, &value);
    std::printf("ended %d %d\n", waited, value);
    return 0;
  }
  if (code < 0) {
    std::printf("error %d\n", code);
    return 1;
  }
  std::printf("%s\n", path);
  return 0;
}
