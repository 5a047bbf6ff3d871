#include "tools/kestrelctl/watchdogCommands.h"

#include <kestrel/kestrel.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogClient.h"
#include "tools/kestrelctl/watchdogSignals.h"
#include "tools/kestrelctl/watchdogVocabulary.h"

namespace kestrelctl {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

using tClock = std::chrono::steady_clock;

void printJson(const nlohmann::json& document) { std::printf("%s\n", document.dump().c_str()); }

// What to try next after a watchdog failure.
std::string watchdogAdvice(std::int32_t code) {
  switch (code) {
    case brioerr_busy: return "The timer has expired; a start arms it again.";
    case kestrelerr_attributeNotSupported:
      return "The watchdog refuses this attribute id or value; 'kestrelctl watchdog get --help' names the "
             "attributes.";
    default: return adviceFor(code);
  }
}

// Prints the failure with its code's name and yields kFailure.
int fail(const std::string& what, std::int32_t code) {
  std::fprintf(stderr, "kestrelctl: %s: %s\n", what.c_str(), describeStatus(code).c_str());
  const std::string advice = watchdogAdvice(code);
  if (!advice.empty()) std::fprintf(stderr, "  %s\n", advice.c_str());
  return kFailure;
}

// The timeout, when asked for, then the start.
std::int32_t arm(const tWatchdogClient& watchdog, const tWatchdogRequest& request, std::string& what) {
  if (request.timeoutMs) {
    what = "set the timeout";
    const std::int32_t code = watchdog.writeU32(kWatchdogTimeoutAttribute, *request.timeoutMs);
    if (code < 0) return code;
  }
  what = "start the timer";
  return watchdog.start();
}

int runSimple(const tWatchdogClient& watchdog, tWatchdogCommand command, const tWatchdogRequest& request) {
  std::string what;
  std::int32_t code = 0;
  const char* name = "start";
  if (command == tWatchdogCommand::start) {
    code = arm(watchdog, request, what);
  } else if (command == tWatchdogCommand::pet) {
    name = "pet";
    what = "pet the watchdog";
    code = watchdog.pet();
  } else {
    name = "stop";
    what = "stop the timer";
    code = watchdog.stop();
  }
  if (code < 0) return fail(what, code);
  if (request.json) printJson({{"command", name}, {"status", code}});
  return 0;
}

int runWait(const tWatchdogClient& watchdog, const tWatchdogRequest& request) {
  if (request.startFirst) {
    std::string what;
    const std::int32_t code = arm(watchdog, request, what);
    if (code < 0) return fail(what, code);
  }
  const tStopSignals signals;
  tResult<std::int32_t> result;
  {
    // Ctrl-C cancels the wait through the driver.
    const tStopSignals::tWatcher watcher(signals, [&watchdog] { watchdog.cancelWait(); });
    result = watchdog.waitForNotification();
  }
  if (!result.ok()) return fail("wait for a notification", result.code);
  const std::string meaning = describeNotification(result.value);
  if (request.json) {
    printJson({{"notification", result.value}, {"meaning", meaning}});
  } else {
    std::printf("%d %s\n", result.value, meaning.c_str());
  }
  return 0;
}

struct tKeepaliveOutcome {
  unsigned pets = 0;
  bool bySignal = false;
  std::int32_t failure = 0;
};

// Pets every interval until the duration ends or a stop signal arrives.
tKeepaliveOutcome keepAlive(const tWatchdogClient& watchdog, const tWatchdogRequest& request,
                            const tStopSignals& signals) {
  tKeepaliveOutcome outcome;
  const auto begin = tClock::now();
  const auto end = request.duration ? begin + *request.duration : tClock::time_point::max();
  auto next = begin;
  for (;;) {
    const std::int32_t code = watchdog.pet();
    if (code < 0) {
      outcome.failure = code;
      return outcome;
    }
    ++outcome.pets;
    next += std::chrono::milliseconds(request.intervalMs);
    const auto until = std::min(next, end);
    const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(until - tClock::now());
    if (signals.waitFor(std::max(pause, std::chrono::milliseconds(0)))) {
      outcome.bySignal = true;
      return outcome;
    }
    if (until == end) return outcome;
  }
}

int runKeepalive(const tWatchdogClient& watchdog, const tWatchdogRequest& request) {
  if (request.intervalMs == 0) {
    std::fprintf(stderr, "kestrelctl: --interval must be at least 1 ms\n");
    return kUsage;
  }
  const tStopSignals signals;
  std::string what;
  const std::int32_t armed = arm(watchdog, request, what);
  if (armed < 0) return fail(what, armed);
  const auto begin = tClock::now();
  const tKeepaliveOutcome outcome = keepAlive(watchdog, request, signals);
  const std::int32_t stopped = watchdog.stop();
  if (outcome.failure < 0) return fail("pet the watchdog", outcome.failure);
  if (stopped < 0) return fail("stop the timer", stopped);
  const double seconds = std::chrono::duration<double>(tClock::now() - begin).count();
  const char* reason = outcome.bySignal ? "signal" : "duration";
  if (request.json) {
    printJson({{"pets", outcome.pets}, {"seconds", seconds}, {"stoppedBy", reason}});
  } else {
    std::printf("%u pets in %.1f s; timer stopped (%s)\n", outcome.pets, seconds, reason);
  }
  return 0;
}

int runAttribute(const tWatchdogClient& watchdog, tWatchdogCommand command, const tWatchdogRequest& request,
                 const tWatchdogAttribute& attribute) {
  if (command == tWatchdogCommand::get) {
    const auto result = watchdog.readU32(attribute.id);
    if (!result.ok()) return fail("get " + request.attribute, result.code);
    if (request.json) {
      printJson({{"attribute", attribute.name}, {"id", attribute.id}, {"value", result.value}});
    } else {
      std::printf("%u\n", result.value);
    }
    return 0;
  }
  const auto value = parseU32(request.value);
  if (!value) {
    std::fprintf(stderr, "kestrelctl: '%s' is not an unsigned 32-bit number\n", request.value.c_str());
    return kUsage;
  }
  const std::int32_t code = watchdog.writeU32(attribute.id, *value);
  if (code < 0) return fail("set " + request.attribute, code);
  if (request.json) printJson({{"attribute", attribute.name}, {"id", attribute.id}, {"status", code}});
  return 0;
}

}  // namespace

int runWatchdogCommand(tWatchdogCommand command, const tWatchdogRequest& request) {
  std::optional<tWatchdogAttribute> attribute;
  if (command == tWatchdogCommand::get || command == tWatchdogCommand::set) {
    attribute = findWatchdogAttribute(request.attribute);
    if (!attribute) {
      std::fprintf(stderr, "kestrelctl: unknown watchdog attribute '%s'; give a name (timeout, expiryAction, "
                           "state, remaining) or an id\n", request.attribute.c_str());
      return kUsage;
    }
  }
  tWatchdogClient watchdog;
  const std::int32_t opened = watchdog.open();
  if (opened < 0) return fail("open the watchdog", opened);
  switch (command) {
    case tWatchdogCommand::wait: return runWait(watchdog, request);
    case tWatchdogCommand::keepalive: return runKeepalive(watchdog, request);
    case tWatchdogCommand::get:
    case tWatchdogCommand::set: return runAttribute(watchdog, command, request, *attribute);
    default: return runSimple(watchdog, command, request);
  }
}

}  // namespace kestrelctl
