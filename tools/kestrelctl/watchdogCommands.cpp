#include "tools/kestrelctl/watchdogCommands.h"

#include <kestrel/kestrel.h>
#include <kestrel/kestrel_status.h>
#include <signal.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "tools/kestrelctl/attributeCommands.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"
#include "tools/kestrelctl/watchdogClient.h"
#include "tools/kestrelctl/stopSignals.h"
#include "tools/kestrelctl/watchdogVocabulary.h"

namespace kestrelctl {
namespace {

using tClock = std::chrono::steady_clock;

// What to try next after a watchdog failure.
std::string watchdogAdvice(std::int32_t code) {
  switch (code) {
    case brioerr_busy: return "The timer has expired; a start arms it again.";
    case kestrelerr_attributeNotSupported:
      return "The watchdog refuses this attribute id or value; the names are " + watchdogAttributeNames() + ".";
    default: return adviceFor(code);
  }
}

int fail(const std::string& what, std::int32_t code) { return printFailure(what, code, watchdogAdvice(code)); }

// The timeout, when asked for, then the start.
std::int32_t arm(const tWatchdogClient& watchdog, const tWatchdogRequest& request, std::string& what) {
  if (request.timeoutMs) {
    what = "set the timeout";
    const std::int32_t code = watchdog.writeU32(KESTREL_WATCHDOG_ATTR_TIMEOUT, *request.timeoutMs);
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
  if (outputOptions().json) setJsonResult({{"command", name}, {"status", code}});
  return kSuccess;
}

// A wait on a timer that is not running lasts until some program starts it:
// say so, since the wait itself is silent.
void noteIdleTimer(const tWatchdogClient& watchdog) {
  const auto state = watchdog.readU32(KESTREL_WATCHDOG_ATTR_STATE);
  if (!state.ok() || state.value == KESTREL_WATCHDOG_STATE_RUNNING) return;
  std::fprintf(stderr,
               "kestrelctl: note: the watchdog timer is %s; waiting until a program starts it and it expires "
               "(--start starts it first, Ctrl-C ends the wait)\n",
               state.value == KESTREL_WATCHDOG_STATE_EXPIRED ? "already expired" : "stopped");
}

int runWait(const tWatchdogClient& watchdog, const tWatchdogRequest& request) {
  if (request.startFirst) {
    std::string what;
    const std::int32_t code = arm(watchdog, request, what);
    if (code < 0) return fail(what, code);
  } else {
    noteIdleTimer(watchdog);
  }
  const tStopSignals signals;
  tResult<std::int32_t> result;
  bool timedOut = false;
  int signal = 0;
  {
    // Ctrl-C, or the end of --within, cancels the wait through the driver.
    const tStopSignals::tWatcher watcher(signals, [&watchdog] { watchdog.cancelWait(); }, request.within);
    result = watchdog.waitForNotification();
    timedOut = watcher.timedOut();
    signal = watcher.signal();
  }
  if (!result.ok()) return fail("wait for a notification", result.code);
  if (result.value == KESTREL_WATCHDOG_NOTIFY_CANCELLED && signal != 0) {
    printInterrupted("wait for a notification",
                     std::string("cancelled by ") + (signal == SIGINT ? "Ctrl-C (SIGINT)" : "SIGTERM"));
    return 128 + signal;
  }
  if (result.value == KESTREL_WATCHDOG_NOTIFY_CANCELLED && timedOut) {
    return printProblem("wait for a notification",
                        "no watchdog notification within " + std::to_string(request.within->count()) + " ms",
                        "The timer is as it was; 'kestrelctl watchdog status' shows it.");
  }
  const std::string meaning = describeNotification(result.value);
  if (outputOptions().json) {
    setJsonResult({{"notification", result.value}, {"meaning", meaning}});
  } else {
    std::printf("%d %s\n", result.value, meaning.c_str());
  }
  return kSuccess;
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

// The interval must leave the timer time to spare, or the first pet comes too late.
int checkInterval(const tWatchdogClient& watchdog, const tWatchdogRequest& request) {
  std::uint32_t timeout = 0;
  if (request.timeoutMs) {
    timeout = *request.timeoutMs;
  } else {
    const auto current = watchdog.readU32(KESTREL_WATCHDOG_ATTR_TIMEOUT);
    if (!current.ok()) return fail("read the timeout", current.code);
    timeout = current.value;
  }
  if (request.intervalMs >= timeout) {
    return printUsageError("--interval " + std::to_string(request.intervalMs) + " ms is not shorter than the timer's "
                           "timeout of " + std::to_string(timeout) + " ms; the timer would expire between pets");
  }
  return kSuccess;
}

int runKeepalive(const tWatchdogClient& watchdog, const tWatchdogRequest& request) {
  if (const int checked = checkInterval(watchdog, request); checked != kSuccess) return checked;
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
  if (outputOptions().json) {
    setJsonResult({{"pets", outcome.pets}, {"seconds", seconds}, {"stoppedBy", reason}});
  } else {
    std::printf("%u pets in %.1f s; timer stopped (%s)\n", outcome.pets, seconds, reason);
  }
  return kSuccess;
}

int runAttribute(const tWatchdogClient& watchdog, tWatchdogCommand command, const tWatchdogRequest& request) {
  const tAttribute& attribute = *request.attribute;
  if (command == tWatchdogCommand::get) {
    const auto result = watchdog.readU32(attribute.id);
    if (!result.ok()) return fail("get " + request.attributeText, result.code);
    printU32Value(attribute, result.value);
    return kSuccess;
  }
  const std::int32_t code = watchdog.writeU32(attribute.id, request.value);
  if (code < 0) return fail("set " + request.attributeText, code);
  if (outputOptions().json) setJsonResult({{"attribute", attribute.name}, {"id", hexId(attribute.id)}, {"status", code}});
  return kSuccess;
}

// One value of the status: read, or null with the reason.
struct tStatusValue {
  const char* key;
  const char* label;
  tResult<std::uint32_t> result;
  tEnumeration enumeration = tEnumeration::none;
  const char* unit = "";
};

std::string shownValue(const tStatusValue& value) {
  if (!value.result.ok()) return std::string("n/a (") + kestrelStatusName(value.result.code) + ")";
  const std::string name = valueName(value.enumeration, value.result.value);
  return name.empty() ? std::to_string(value.result.value) + value.unit : name;
}

int runStatus(const tWatchdogClient& watchdog) {
  const std::vector<tStatusValue> values = {
      {"state", "state", watchdog.readU32(KESTREL_WATCHDOG_ATTR_STATE), tEnumeration::watchdogState},
      {"timeoutMs", "timeout", watchdog.readU32(KESTREL_WATCHDOG_ATTR_TIMEOUT), tEnumeration::none, " ms"},
      {"expiryAction", "expiry action", watchdog.readU32(KESTREL_WATCHDOG_ATTR_EXPIRY_ACTION), tEnumeration::expiryAction},
      {"remainingMs", "remaining", watchdog.readU32(KESTREL_WATCHDOG_ATTR_REMAINING), tEnumeration::none, " ms"},
  };
  if (!values.front().result.ok()) return fail("read the watchdog state", values.front().result.code);
  if (!outputOptions().json) {
    tTableText table({"", ""});
    for (const auto& value : values) table.addRow({value.label, shownValue(value)});
    table.print(false);
    return kSuccess;
  }
  nlohmann::json document = nlohmann::json::object();
  nlohmann::json unavailable = nlohmann::json::object();
  for (const auto& value : values) {
    const nlohmann::json number = value.result.ok() ? nlohmann::json(value.result.value) : nlohmann::json();
    if (value.enumeration == tEnumeration::none) {
      document[value.key] = number;
    } else {
      // The name, and the number beside it ("state": "running", "stateValue": 1).
      const std::string name = value.result.ok() ? valueName(value.enumeration, value.result.value) : "";
      document[value.key] = name.empty() ? nlohmann::json() : nlohmann::json(name);
      document[std::string(value.key) + "Value"] = number;
    }
    if (!value.result.ok()) unavailable[value.key] = describeStatus(value.result.code);
  }
  if (!unavailable.empty()) document["unavailable"] = unavailable;
  setJsonResult(document);
  return kSuccess;
}

int dispatch(tWatchdogClient& watchdog, tWatchdogCommand command, const tWatchdogRequest& request) {
  switch (command) {
    case tWatchdogCommand::status: return runStatus(watchdog);
    case tWatchdogCommand::wait: return runWait(watchdog, request);
    case tWatchdogCommand::keepalive: return runKeepalive(watchdog, request);
    case tWatchdogCommand::get:
    case tWatchdogCommand::set: return runAttribute(watchdog, command, request);
    default: return runSimple(watchdog, command, request);
  }
}

// Whether the command may close its session, which stops the timer.
bool mayStopTheTimer(tWatchdogCommand command) {
  return command == tWatchdogCommand::stop || command == tWatchdogCommand::keepalive;
}

}  // namespace

int runWatchdogCommand(tWatchdogCommand command, const tWatchdogRequest& request) {
  tWatchdogClient watchdog;
  const std::int32_t opened = watchdog.open();
  if (opened < 0) return fail("open the watchdog", opened);
  const int status = dispatch(watchdog, command, request);
  // A close would stop a running timer and turn an expired one into a
  // stopped one, and between a look at the state and the close another
  // program may start the timer: only the commands that stop it close.
  if (!mayStopTheTimer(command)) watchdog.leaveOpen();
  return status;
}

}  // namespace kestrelctl
