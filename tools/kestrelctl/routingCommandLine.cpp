#include "tools/kestrelctl/routingCommandLine.h"

#include <cstdio>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/routeCommands.h"
#include "tools/kestrelctl/terminalCommands.h"

namespace kestrelctl {
namespace {

constexpr int kUsage = 2;
constexpr const char* kStepWords[] = {"reserve", "program", "unprogram", "unreserve", "destroy"};

}  // namespace

tRoutingCommandLine::tRoutingCommandLine(CLI::App& app)
    : terminals_(app.add_subcommand("terminals", "list the trigger router's terminals")),
      reset_(terminals_->add_subcommand("reset", "reset one terminal of the trigger router")),
      route_(app.add_subcommand("route", "drive a route ticket of the trigger router, or watch for demotions")),
      watch_(route_->add_subcommand("watch", "print route demotions as they arrive, until Ctrl-C")) {
  terminals_->footer(
      "Examples:\n  kestrelctl terminals --json\n  kestrelctl terminals reset PXI_Trig3 --floating\n"
      "  kestrel-sim -- kestrelctl terminals        (on the simulated controller)");
  terminals_->fallthrough();
  reset_->fallthrough();
  reset_->add_option("name", terminalName_, "the terminal's name, exactly as 'kestrelctl terminals' lists it")
      ->required();
  reset_->add_flag("--floating", floating_, "leave the line floating instead of in its default state");
  route_->footer(
      "Examples:\n  kestrelctl route reserve 7\n  kestrelctl --json route program 7\n  kestrelctl route watch --count 1\n"
      "  kestrel-sim --profile sim/profiles/routeDemotions.json -- kestrelctl route watch\n"
      "A program's routes and reservations are released by the driver when the program ends, so each step\n"
      "acts on a route that outlives the command before it, such as one a profile lists.");
  route_->require_subcommand(1);
  route_->fallthrough();
  for (const char* word : kStepWords) {
    auto* step = route_->add_subcommand(word, std::string(word) + " the route with this ticket");
    step->add_option("ticket", ticket_, "the route's ticket, as its calculation answered it")->required();
    step->fallthrough();
  }
  watch_->add_option("--count", watchCount_, "end after this many demotions");
  watch_->fallthrough();
}

int tRoutingCommandLine::run(bool json) {
  if (reset_->parsed()) return runTerminalReset(terminalName_, floating_, json);
  if (terminals_->parsed()) return runTerminals(json);
  return runRoute(json);
}

int tRoutingCommandLine::runRoute(bool json) {
  if (watch_->parsed()) return runRouteWatch(watchCount_, json);
  for (const char* word : kStepWords) {
    if (!route_->get_subcommand(word)->parsed()) continue;
    const auto ticket = parseU32(ticket_);
    if (!ticket) {
      std::fprintf(stderr, "kestrelctl: '%s' is not a route ticket (an unsigned 32-bit number)\n", ticket_.c_str());
      return kUsage;
    }
    return runRouteStep(*routeStepNamed(word), *ticket, json);
  }
  return kUsage;
}

}  // namespace kestrelctl
