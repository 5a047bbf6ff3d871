#include "tools/kestrelctl/routeCommands.h"

#include <kestrel/kestrel.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/routingClient.h"
#include "tools/kestrelctl/watchdogSignals.h"
#include "tools/quillhost/terminalTable.h"

namespace kestrelctl {
namespace {

using nlohmann::json;

constexpr int kFailure = 1;

constexpr std::array<std::pair<const char*, tRouteStep>, 5> kSteps{{
    {"reserve", tRouteStep::reserve},
    {"program", tRouteStep::program},
    {"unprogram", tRouteStep::unprogram},
    {"unreserve", tRouteStep::unreserve},
    {"destroy", tRouteStep::destroy},
}};

const char* stepName(tRouteStep step) {
  for (const auto& [name, value] : kSteps) {
    if (value == step) return name;
  }
  return "?";
}

// Runs the step; the teardown steps report nothing back by design.
void sendStep(const tRoutingClient& router, tRouteStep step, std::uint32_t ticket, char** conflicts,
              quillhost::tFrameworkStatus& status) {
  const auto& adaptor = router.adaptor();
  switch (step) {
    case tRouteStep::reserve: return adaptor.reserveRoute(router.session(), ticket, conflicts, status);
    case tRouteStep::program: return adaptor.programRoute(router.session(), ticket, status);
    case tRouteStep::unprogram: return adaptor.unprogramRoute(router.session(), ticket);
    case tRouteStep::unreserve: return adaptor.unreserveRoute(router.session(), ticket);
    case tRouteStep::destroy: return adaptor.destroyRoute(router.session(), ticket);
  }
}

json conflictsJson(const char* text) {
  if (text == nullptr) return json::array();
  auto parsed = json::parse(text, nullptr, false);
  return parsed.is_discarded() ? json::array() : parsed;
}

void printConflicts(const json& conflicts) {
  for (const auto& conflict : conflicts) {
    std::fprintf(stderr, "  held by session 0x%llx, route %u\n",
                 static_cast<unsigned long long>(conflict.value("sessionId", 0ull)), conflict.value("ticket", 0u));
  }
}

// What the demotion callback shares with the waiting command.
struct tWatch {
  bool json = false;
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
  if (watch.json) {
    std::printf("%s\n", json{{"demotion", number}, {"event", event}, {"timeMs", now}}.dump().c_str());
  } else {
    std::printf("demotion %u: event %d\n", number, event);
  }
  std::fflush(stdout);
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

std::optional<tRouteStep> routeStepNamed(const std::string& word) {
  for (const auto& [name, step] : kSteps) {
    if (word == name) return step;
  }
  return std::nullopt;
}

int runRouteStep(tRouteStep step, std::uint32_t ticket, bool json) {
  tRoutingClient router;
  if (!router.open(json)) return kFailure;
  quillhost::tFrameworkStatus status;
  char* conflicts = nullptr;
  sendStep(router, step, ticket, &conflicts, status);
  const nlohmann::json held = conflictsJson(conflicts);
  std::free(conflicts);
  const std::string what = std::string(stepName(step)) + " route " + std::to_string(ticket);
  if (status.isError()) {
    printRoutingFailure(what, status, json, held.empty() ? nlohmann::json::object() : nlohmann::json{{"conflicts", held}});
    if (!json) printConflicts(held);
    if (!json && status.code() == brioerr_invalidParameter) {
      std::fprintf(stderr, "  Is %u a ticket a route calculation answered, and is the route in a state that allows "
                           "this step? The driver destroys a program's routes, and releases its reservations, when "
                           "the program ends; under kestrel-sim the routes a profile lists stay for the run.\n",
                   ticket);
    }
    return kFailure;
  }
  if (json) {
    std::printf("%s\n", nlohmann::json{{"ticket", ticket}, {"step", stepName(step)}, {"status", statusJson(status)}}
                            .dump()
                            .c_str());
  } else {
    const bool teardown = step != tRouteStep::reserve && step != tRouteStep::program;
    std::printf("%s: %s\n", what.c_str(), teardown ? "sent (the driver reports no failure of this step)" : "done");
  }
  return 0;
}

int runRouteWatch(unsigned count, bool json) {
  const tStopSignals signals;  // before the session's thread, which inherits the blocked signals
  tWatch watch;
  watch.json = json;
  tRoutingClient router;
  if (!router.open(json, &printDemotion, &watch)) return kFailure;
  if (!json) {
    std::printf("watching route demotions on %s (Ctrl-C ends)\n", router.devicePath().c_str());
    std::fflush(stdout);
  }
  constexpr unsigned kTurnsBetweenChecks = 10;
  for (unsigned turn = 1; count == 0 || watch.seen.load() < count; ++turn) {
    if (signals.waitFor(std::chrono::milliseconds(100))) break;
    quillhost::tFrameworkStatus status;
    if (turn % kTurnsBetweenChecks == 0 && routerGone(router, status)) {
      printRoutingFailure("route watch: the trigger router's driver went away", status, json);
      return kFailure;
    }
  }
  return 0;
}

}  // namespace kestrelctl
