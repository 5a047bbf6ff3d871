// A client program of the public interface, for running under kestrel-sim:
// prints the trigger router's device path.
#include <cstdio>

#include "kestrel/kestrel.h"

int main() {
  char path[256];
  uint64_t length = sizeof path;
  const int32_t code = KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, path, &length);
  if (code < 0) {
    std::printf("error %d\n", code);
    return 1;
  }
  std::printf("%s\n", path);
  return 0;
}
