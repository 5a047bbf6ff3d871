#include "tools/kestrelctl/routingCommandLine.h"

#include "tools/kestrelctl/completion.h"
#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routeShell.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/terminalCommands.h"

namespace kestrelctl {
namespace {

constexpr const char* kRouteFooter =
    "A route ticket lives as long as the program that calculated it: when kestrelctl ends, the driver destroys\n"
    "the routes it calculated and releases its reservations. On their own, path and the steps act on routes of\n"
    "other programs (or ones a simulator profile lists), unprogram and unreserve only where kestrelctl knows the\n"
    "route's state. To keep a route, hold it; to calculate and step routes of your own, use the shell.\n\n"
    "Examples:\n"
    "  kestrelctl route hold --from PXI_Trig0 --to PXI_Trig3        (Ctrl-C releases it)\n"
    "  kestrelctl route shell < steps.txt\n"
    "  printf 'calculate --from PXI_Trig0 --to PXI_Trig3\\nreserve last\\nprogram last\\n' | kestrelctl route shell\n"
    "  kestrelctl route calculate --from PXI_Trig0:1 --to PXI_Trig3 --to TRIG_SMB\n"
    "  kestrelctl route watch --count 1";

}  // namespace

tRoutingCommandLine::tRoutingCommandLine(CLI::App& app)
    : terminals_(app.add_subcommand("terminals", "list the trigger router's terminals")),
      reset_(terminals_->add_subcommand("reset", "reset one terminal of the trigger router")),
      route_(app.add_subcommand("route", "calculate, hold and step routes of the trigger router; watch demotions")) {
  reset_->add_option("name", terminalName_, "the terminal's name, exactly as 'kestrelctl terminals' lists it")
      ->option_text("NAME")
      ->required();
  reset_->add_flag("--floating", floating_, "leave the line floating instead of in its default state");
  terminals_->footer(
      "Examples:\n  kestrelctl terminals --json\n  kestrelctl terminals reset PXI_Trig3 --floating\n"
      "  kestrel-sim -- kestrelctl terminals        (on the simulated controller)");
  addRouteCommands();
}

void tRoutingCommandLine::addRouteCommands() {
  hold_ = route_->add_subcommand(
      "hold", "calculate, reserve and program a route, print its ticket and path, and hold it until Ctrl-C");
  addCalculationOptions(*hold_, holdRequest_);
  hold_->footer("The route is released (unprogrammed, unreserved, destroyed) on Ctrl-C or SIGTERM; exit 0.");
  shell_ = route_->add_subcommand(
      "shell", "run route commands, one per line, in one session; its routes are released at the end");
  completeFilesFor(shell_->add_option("file", shellFile_, "read the commands from FILE instead of standard input")
                       ->option_text("FILE"));
  shell_->footer(
      "Each line holds one command: calculate, path, reserve, program, unprogram, unreserve, destroy, routes,\n"
      "terminals, help or quit; '#' starts a comment. TICKET may be 'last', the latest route calculated.\n"
      "Steps are checked against the states of the session's routes before anything reaches the driver.\n"
      "Answers are text, or with --json one JSON document per line with the input line's number.\n"
      "Exit status: 0 when every command succeeded, else that of the last command that failed; 130 on Ctrl-C.");
  operations_ = std::make_unique<tRouteOperations>(*route_);
  watch_ = route_->add_subcommand("watch", "print route demotions as they arrive, until Ctrl-C");
  watch_->add_option("--count", watchCount_, "end after this many demotions")->option_text("N");
  route_->footer(kRouteFooter);
  route_->require_subcommand(1);
}

int tRoutingCommandLine::run() {
  if (reset_->parsed()) return runTerminalReset(terminalName_, floating_);
  if (terminals_->parsed()) return runTerminals();
  return runRoute();
}

int tRoutingCommandLine::runRoute() {
  if (hold_->parsed()) return runRouteHold(holdRequest_);
  if (shell_->parsed()) return runRouteShell(shellFile_);
  if (watch_->parsed()) {
    const auto count = watchCount_.empty() ? std::optional<std::uint32_t>(0) : parseU32(watchCount_);
    if (!count) return printUsageError("--count '" + watchCount_ + "' is not a number of demotions (0 for no limit)");
    return runRouteWatch(*count);
  }
  if (const int checked = operations_->check(); checked != kSuccess) return checked;
  tRouteSession session;
  if (!session.open()) return kFailure;
  return operations_->run(session);
}

}  // namespace kestrelctl
