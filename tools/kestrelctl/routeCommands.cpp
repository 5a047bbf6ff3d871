#include "tools/kestrelctl/routeCommands.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

using nlohmann::json;

constexpr std::array kSteps{tRouteStep::reserve, tRouteStep::program, tRouteStep::unprogram, tRouteStep::unreserve,
                            tRouteStep::destroy};

constexpr const char* kStepHelp[] = {
    "reserve the lines of a calculated route",
    "program a reserved route into the trigger router",
    "take a programmed route out of the router; it stays reserved",
    "release the reservation of a reserved route",
    "end a route in any state (taking it down first)",
};

constexpr const char* kTicketHelp =
    "the route's ticket as 'calculate' printed it in this session, or 'last' for the latest one";

// NAME or NAME:COST (cost 0 when left out); the last colon splits.
std::optional<tSeed> seedOf(const std::string& text) {
  const auto colon = text.rfind(':');
  tSeed seed{colon == std::string::npos ? text : text.substr(0, colon), 0};
  if (colon != std::string::npos) {
    const auto cost = parseU32(std::string_view(text).substr(colon + 1));
    if (!cost) return std::nullopt;
    seed.cost = *cost;
  }
  if (seed.terminal.empty()) return std::nullopt;
  return seed;
}

std::string seedName(const std::vector<tSeed>& seeds, std::size_t index) {
  return index < seeds.size() ? seeds[index].terminal : std::string("?");
}

// Terminal names are UTF-8 text: the request documents that carry them to
// the adaptor are JSON, which holds nothing else.
bool namesAreText(const tCalculationRequest& request) {
  for (const auto* option : {&request.from, &request.to}) {
    for (const std::string& name : *option) {
      if (isUtf8(name)) continue;
      printUsageError(std::string(option == &request.from ? "--from" : "--to") + " '" + name +
                          "' is not valid UTF-8: terminal names are UTF-8 text",
                      "'kestrelctl terminals' lists the terminals.");
      return false;
    }
  }
  return true;
}

}  // namespace

void addCalculationOptions(CLI::App& command, tCalculationRequest& request) {
  command.add_option("--from", request.from, "seed terminal, NAME or NAME:COST (repeatable)")
      ->option_text("NAME[:COST]")
      ->required();
  command.add_option("--to", request.to, "destination terminal (repeatable)")->option_text("NAME")->required();
  command.add_flag("--ignore-reservations", request.ignoreReservations,
                   "route through lines other sessions have reserved");
}

std::optional<std::vector<tSeed>> seedsOf(const tCalculationRequest& request) {
  if (!namesAreText(request)) return std::nullopt;
  std::vector<tSeed> seeds;
  for (const std::string& from : request.from) {
    const auto seed = seedOf(from);
    if (!seed) {
      printUsageError("--from '" + from + "' is not a seed: give NAME or NAME:COST, with a cost from 0 to 4294967295");
      return std::nullopt;
    }
    seeds.push_back(*seed);
  }
  return seeds;
}

void printCalculation(const tCalculation& calculation, const std::vector<tSeed>& seeds) {
  if (outputOptions().json) {
    setJsonResult({{"ticket", calculation.ticket}, {"segments", calculation.segments}});
    return;
  }
  std::printf("ticket %u\n", calculation.ticket);
  tTableText table({"DESTINATION", "COST", "FROM", "INVERSION"});
  for (const json& segment : calculation.segments) {
    const bool inverted = segment.value("constraints", json::object()).value("inversionNeeded", false);
    table.addRow({segment.value("destination", ""), std::to_string(segment.value("cost", 0u)),
                  seedName(seeds, segment.value("indexOfStartingSeed", 0u)), inverted ? "yes" : "no"});
  }
  table.print(outputOptions().headings);
}

tRouteOperations::tRouteOperations(CLI::App& parent) {
  calculate_ = parent.add_subcommand("calculate", "calculate a route from seed terminals to destinations");
  addCalculationOptions(*calculate_, calculation_);
  calculate_->footer("Terminal names match without regard to case; 'kestrelctl terminals' lists them.");
  path_ = parent.add_subcommand("path", "print the terminals a route passes through");
  path_->add_option("ticket", ticket_, kTicketHelp)->option_text("TICKET")->required();
  for (std::size_t i = 0; i < kSteps.size(); ++i) {
    steps_[i] = parent.add_subcommand(stepName(kSteps[i]), kStepHelp[i]);
    steps_[i]->add_option("ticket", ticket_, kTicketHelp)->option_text("TICKET")->required();
  }
}

bool tRouteOperations::parsed() const {
  if (calculate_->parsed() || path_->parsed()) return true;
  for (const CLI::App* step : steps_) {
    if (step->parsed()) return true;
  }
  return false;
}

void tRouteOperations::reset() {
  calculation_ = {};
  ticket_.clear();
}

int tRouteOperations::check() const {
  if (calculate_->parsed()) return seedsOf(calculation_) ? kSuccess : kUsage;
  if (ticket_ == "last" || parseU32(ticket_)) return kSuccess;
  return printUsageError("'" + ticket_ + "' is not a route ticket: give the number 'calculate' printed, or 'last'");
}

int tRouteOperations::run(tRouteSession& session) const {
  if (calculate_->parsed()) return runCalculate(session);
  if (path_->parsed()) return runPath(session);
  for (std::size_t i = 0; i < kSteps.size(); ++i) {
    if (steps_[i]->parsed()) return runStep(session, kSteps[i]);
  }
  return kUsage;
}

std::optional<std::uint32_t> tRouteOperations::ticketOf(const tRouteSession& session) const {
  if (ticket_ == "last") {
    if (!session.lastTicket()) printUsageError("'last' names the latest route this session calculated, and it has "
                                               "calculated none");
    return session.lastTicket();
  }
  const auto ticket = parseU32(ticket_);
  if (!ticket) printUsageError("'" + ticket_ + "' is not a route ticket: give the number 'calculate' printed, or 'last'");
  return ticket;
}

int tRouteOperations::runCalculate(tRouteSession& session) const {
  const auto seeds = seedsOf(calculation_);
  if (!seeds) return kUsage;
  tCalculation calculation;
  const int status = session.calculate(*seeds, calculation_.to, calculation_.ignoreReservations, calculation);
  if (status != kSuccess) return status;
  printCalculation(calculation, *seeds);
  return kSuccess;
}

int tRouteOperations::runPath(tRouteSession& session) const {
  const auto ticket = ticketOf(session);
  if (!ticket) return kUsage;
  std::vector<std::string> terminals;
  if (const int status = session.path(*ticket, terminals); status != kSuccess) return status;
  if (outputOptions().json) {
    setJsonResult({{"ticket", *ticket}, {"path", terminals}});
  } else {
    for (const auto& name : terminals) std::printf("%s\n", printable(name).c_str());
  }
  return kSuccess;
}

int tRouteOperations::runStep(tRouteSession& session, tRouteStep step) const {
  const auto ticket = ticketOf(session);
  if (!ticket) return kUsage;
  auto known = session.routes().find(*ticket);
  // The driver answers these two with nothing; after a demotion the route
  // may have been calculated already.
  const bool unsure = known != session.routes().end() && known->second.maybeDemoted &&
                      (step == tRouteStep::unprogram || step == tRouteStep::unreserve);
  if (const int status = session.step(step, *ticket); status != kSuccess) return status;
  known = session.routes().find(*ticket);
  const std::string state = step == tRouteStep::destroy        ? "destroyed"
                            : known == session.routes().end() ? "calculated"
                                                              : stateName(known->second.state);
  const char* note = unsure ? "a demotion arrived before: the driver may have found the route calculated already" : "";
  if (outputOptions().json) {
    nlohmann::json document = {{"ticket", *ticket}, {"step", stepName(step)}, {"state", state}};
    if (unsure) document["note"] = note;
    setJsonResult(document);
  } else {
    std::printf("%s route %u: done, the route is %s%s%s\n", stepName(step), *ticket, state.c_str(),
                unsure ? "; " : "", note);
  }
  return kSuccess;
}

}  // namespace kestrelctl
