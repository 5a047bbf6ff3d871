// kestrelctl route watch: route demotions as the driver reports them.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

#include <kestrel/kestrel.h>
#include <nlohmann/json.hpp>

#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routeCommands.h"
#include "tools/kestrelctl/routingClient.h"
#include "tools/kestrelctl/stopSignals.h"
#include "tools/quillhost/terminalTable.h"

namespace kestrelctl {
namespace {

// What the demotion callback shares with the waiting command.
struct tWatch {
  std::mutex output;
  std::atomic<unsigned> seen{0};
  unsigned count = 0;  // 0: no limit
};

void printDemotion(void* context, std::int32_t event, tStatusReport*) {
  auto& watch = *static_cast<tWatch*>(context);
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  std::lock_guard guard(watch.output);
  // Demotions that come together may arrive before the command has seen
  // the count reached: none beyond it is printed.
  if (watch.count != 0 && watch.seen.load() >= watch.count) return;
  const unsigned number = watch.seen.load() + 1;
  if (outputOptions().json) {
    setJsonResult({{"demotion", number}, {"event", event}, {"timeMs", now}});
  } else {
    std::printf("demotion %u: event %d\n", number, event);
    std::fflush(stdout);
  }
  watch.seen.store(number);
}

// Whether the trigger router's driver is still there: a question without
// side effects (which terminal drives FLOAT after a reset); "not found"
// once the driver has gone away, after which no demotion comes any more.
bool routerGone(const tRoutingClient& router, quillhost::tFrameworkStatus& status) {
  const auto& adaptor = router.adaptor();
  quillhost::atTerminal(adaptor, router.session(), "FLOAT", status, [&](auto* iterator) {
    adaptor.TerminalIterator_calculateResetTerminal(router.session(), iterator, "default", status);
  });
  return status.code() == brioerr_deviceNotFound;
}

}  // namespace

int runRouteWatch(unsigned count) {
  const tStopSignals signals;  // before the session's thread, which inherits the blocked signals
  outputOptions().documentPerLine = true;
  tWatch watch;
  watch.count = count;
  tRoutingClient router;
  if (!router.open(&printDemotion, &watch)) return kFailure;
  if (!outputOptions().json) {
    std::printf("watching route demotions on %s (Ctrl-C ends)\n", printable(router.devicePath()).c_str());
    std::fflush(stdout);
  }
  constexpr unsigned kTurnsBetweenChecks = 10;
  for (unsigned turn = 1; count == 0 || watch.seen.load() < count; ++turn) {
    if (signals.waitFor(std::chrono::milliseconds(100))) break;
    quillhost::tFrameworkStatus status;
    if (turn % kTurnsBetweenChecks == 0 && routerGone(router, status)) {
      return printRoutingFailure("route watch: the trigger router's driver went away", status);
    }
  }
  return kSuccess;
}

}  // namespace kestrelctl
