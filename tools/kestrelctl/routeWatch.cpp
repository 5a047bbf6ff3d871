// kestrelctl route watch: route demotions as the driver reports them.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routeCommands.h"
#include "tools/kestrelctl/routingClient.h"
#include "tools/kestrelctl/stopSignals.h"

namespace kestrelctl {
namespace {

// What the demotion callback shares with the waiting command.
struct tWatch {
  std::mutex output;
  std::atomic<unsigned> seen{0};
};

void printDemotion(void* context, std::int32_t event, tStatusReport*) {
  auto& watch = *static_cast<tWatch*>(context);
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  std::lock_guard guard(watch.output);
  const unsigned number = watch.seen.load() + 1;
  if (outputOptions().json) {
    setJsonResult({{"demotion", number}, {"event", event}, {"timeMs", now}});
  } else {
    std::printf("demotion %u: event %d\n", number, event);
    std::fflush(stdout);
  }
  watch.seen.store(number);
}

}  // namespace

int runRouteWatch(unsigned count) {
  const tStopSignals signals;  // before the session's thread, which inherits the blocked signals
  outputOptions().documentPerLine = true;
  tWatch watch;
  tRoutingClient router;
  if (!router.open(&printDemotion, &watch)) return kFailure;
  if (!outputOptions().json) {
    std::printf("watching route demotions on %s (Ctrl-C ends)\n", printable(router.devicePath()).c_str());
    std::fflush(stdout);
  }
  while (count == 0 || watch.seen.load() < count) {
    if (signals.waitFor(std::chrono::milliseconds(100))) break;
  }
  return kSuccess;
}

}  // namespace kestrelctl
