// kestrelctl route hold: a route calculated, reserved and programmed, kept
// while the command runs (a route lives as long as the program that made
// it), and released cleanly on Ctrl-C or SIGTERM.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routeCommands.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/stopSignals.h"

namespace kestrelctl {
namespace {

std::string joined(const std::vector<std::string>& terminals) {
  std::string text;
  for (const auto& name : terminals) text += (text.empty() ? "" : " -> ") + printable(name);
  return text;
}

void printHeld(const tRouteSession& session, const tCalculation& calculation, const std::vector<tSeed>& seeds,
               const std::vector<std::string>& path) {
  if (outputOptions().json) {
    setJsonResult({{"ticket", calculation.ticket},
                   {"state", "programmed"},
                   {"segments", calculation.segments},
                   {"path", path},
                   {"devicePath", session.devicePath()}});
    return;
  }
  std::printf("route %u held: programmed on %s\n", calculation.ticket, printable(session.devicePath()).c_str());
  printCalculation(calculation, seeds);
  std::printf("path: %s\nCtrl-C or SIGTERM releases it.\n", joined(path).c_str());
  std::fflush(stdout);
}

void noteDemotion(std::uint32_t ticket) {
  if (outputOptions().json) {
    setJsonResult({{"ticket", ticket}, {"event", "demotion"}});
    return;
  }
  std::fprintf(stderr, "kestrelctl: the driver demoted a route: route %u may be calculated again, not programmed\n",
               ticket);
}

// Holds until a stop signal; returns it. The driver does not say which
// route it demoted: the first demotion is worth a word, the next ones say
// nothing new.
int holdUntilStopped(tStopSignals& signals, tRouteSession& session, std::uint32_t ticket) {
  const int descriptors[] = {session.demotionDescriptor()};
  bool noted = false;
  while (signals.waitForSignalOr(descriptors) >= 0) {
    if (session.takeDemotions() != 0 && !noted) noteDemotion(ticket);
    noted = noted || session.routes().at(ticket).maybeDemoted;
  }
  return signals.lastSignal();
}

// The steps that make a calculated route a programmed one, undone when
// one fails.
int takeUp(tRouteSession& session, std::uint32_t ticket) {
  for (const tRouteStep step : {tRouteStep::reserve, tRouteStep::program}) {
    const int status = session.step(step, ticket);
    if (status == kSuccess) continue;
    session.release();
    return status;
  }
  return kSuccess;
}

}  // namespace

int runRouteHold(const tCalculationRequest& request) {
  const auto seeds = seedsOf(request);
  if (!seeds) return kUsage;
  tStopSignals signals;  // before the session's thread, which inherits the blocked signals
  outputOptions().documentPerLine = true;
  tRouteSession session;
  if (!session.open()) return kFailure;
  tCalculation calculation;
  if (const int status = session.calculate(*seeds, request.to, request.ignoreReservations, calculation);
      status != kSuccess) {
    return status;
  }
  if (const int status = takeUp(session, calculation.ticket); status != kSuccess) return status;
  std::vector<std::string> path;
  if (const int status = session.path(calculation.ticket, path); status != kSuccess) {
    session.release();
    return status;
  }
  printHeld(session, calculation, *seeds, path);
  const int signal = holdUntilStopped(signals, session, calculation.ticket);
  session.release();
  if (outputOptions().json) {
    setJsonResult({{"ticket", calculation.ticket}, {"state", "released"}, {"signal", signalName(signal)}});
  } else {
    std::printf("route %u released (%s)\n", calculation.ticket, signalName(signal));
  }
  return kSuccess;
}

}  // namespace kestrelctl
