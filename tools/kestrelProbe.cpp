// kestrel-probe: loads libkestrel.so.1 through its public interface and
// reports what it finds: the controller session, the trigger-router path and
// the watchdog. It reports and exits 0 whatever it finds.
#include <cstdio>
#include <kestrel/kestrel.h>

#include "platform/statusCodeTable.h"

namespace {

void report(const char* what, int32_t code) {
  const auto* entry = nKESTREL1400::findStatusCode(code);
  std::printf("%-28s %d %s%s%s\n", what, code, entry != nullptr ? entry->name : "unknown status",
              entry != nullptr ? ": " : "", entry != nullptr ? entry->meaning : "");
}

}  // namespace

int main() {
  tKestrelHandle controller = 0;
  const int32_t opened = KESTREL_openController(&controller);
  report("open controller:", opened);

  char path[256] = {};
  uint64_t length = sizeof path;
  const int32_t pathCode = KESTREL_getAttributeUTF8(kControllerHandle, kTriggerRouterPathAttribute, path, &length);
  report("trigger-router path:", pathCode);
  if (pathCode >= 0) std::printf("  %s\n", path);

  if (opened >= 0) {
    uint32_t model = 0;
    report("controller model:", KESTREL_getAttributeU32(controller, KESTREL_ATTR_CONTROLLER_MODEL, &model));
    std::printf("  model %u\n", model);
    report("self test:", KESTREL_performSelfTest(controller));
    KESTREL_closeController(controller);
  } else {
    std::printf("No controller was found. On a machine without the controller's kernel driver, run this\n"
                "program under the simulated controller.\n");
  }

  tKestrelHandle watchdog = 0;
  const int32_t watchdogCode = KESTREL_openWatchdog(&watchdog);
  report("open watchdog:", watchdogCode);
  if (watchdogCode >= 0) KESTREL_closeWatchdog(watchdog);
  return 0;
}
