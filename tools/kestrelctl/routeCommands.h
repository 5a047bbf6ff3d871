// The route commands of one command tree: calculate, path and the steps
// (reserve, program, unprogram, unreserve, destroy). kestrelctl's 'route'
// has them, each run in a session of its own, and so does 'route shell',
// where they share one session.
#pragma once

#include <CLI/CLI.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kestrelctl/routeSession.h"

namespace kestrelctl {

// The options of a route calculation (also those of 'route hold').
struct tCalculationRequest {
  std::vector<std::string> from;  // NAME or NAME:COST
  std::vector<std::string> to;
  bool ignoreReservations = false;
};

// Adds --from, --to and --ignore-reservations to `command`.
void addCalculationOptions(CLI::App& command, tCalculationRequest& request);
// The seeds of --from, once every name of --from and --to is known to be
// UTF-8 text; nothing after a usage error, which is reported.
std::optional<std::vector<tSeed>> seedsOf(const tCalculationRequest& request);

// Prints a calculation: the ticket and its segments.
void printCalculation(const tCalculation& calculation, const std::vector<tSeed>& seeds);

class tRouteOperations {
 public:
  explicit tRouteOperations(CLI::App& parent);

  bool parsed() const;
  // Checks the values that need no session (a ticket's form, the seeds);
  // kSuccess, or kUsage after reporting.
  int check() const;
  // Runs the operation that was parsed in `session`.
  int run(tRouteSession& session) const;
  // Forgets the values of the last parse, before the next one.
  void reset();

 private:
  int runCalculate(tRouteSession& session) const;
  int runPath(tRouteSession& session) const;
  int runStep(tRouteSession& session, tRouteStep step) const;
  std::optional<std::uint32_t> ticketOf(const tRouteSession& session) const;

  CLI::App* calculate_;
  CLI::App* path_;
  std::array<CLI::App*, 5> steps_{};
  tCalculationRequest calculation_;
  std::string ticket_;
};

// Prints each demotion as it arrives until Ctrl-C or SIGTERM (or `count`
// demotions, when not 0).
int runRouteWatch(unsigned count);

// Calculates, reserves and programs a route and holds it until Ctrl-C or
// SIGTERM; then releases it.
int runRouteHold(const tCalculationRequest& request);

}  // namespace kestrelctl
