#include "tools/kestrelctl/routeRequestCommands.h"

#include <kestrel/kestrel.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/routingClient.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
using nlohmann::json;

// An answer document from the adaptor, released with the object.
struct tAnswer {
  ~tAnswer() { std::free(text); }
  char* text = nullptr;
};

// What to try next after a failed route request.
std::string routeAdvice(std::int32_t code) {
  switch (code) {
    case brioerr_invalidParameter:
      return "Check the terminal names ('kestrelctl terminals' lists them), that each destination can be reached "
             "from a seed, and the ticket.";
    case brioerr_deviceNotFound:
      return "The trigger router is missing: is the kernel driver loaded? Without hardware, run the command under "
             "the simulated controller: kestrel-sim -- kestrelctl route ...";
    default: return adviceFor(code);
  }
}

// Prints the failure: the status name and meaning, and the adaptor's own
// explanation ("quill_debug") when the report has one; with `asJson` the
// same as {"error": {...}} on standard output.
int fail(const std::string& what, const quillhost::tFrameworkStatus& status, bool asJson) {
  if (asJson) {
    printRoutingFailure(what, status, true);
    return kFailure;
  }
  std::fprintf(stderr, "kestrelctl: %s: %s\n", what.c_str(), describeStatus(status.code()).c_str());
  const json report = json::parse(status.text(), nullptr, false);
  if (report.is_object() && report.contains("quill_debug")) {
    const json& debug = report.at("quill_debug");
    std::fprintf(stderr, "  %s\n", debug.is_string() ? debug.get<std::string>().c_str() : debug.dump().c_str());
  }
  const std::string advice = routeAdvice(status.code());
  if (!advice.empty()) std::fprintf(stderr, "  %s\n", advice.c_str());
  return kFailure;
}

// NAME or NAME:COST (cost 0 when left out); the last colon splits.
std::optional<json> seedOf(const std::string& text) {
  const auto colon = text.rfind(':');
  std::uint32_t cost = 0;
  if (colon != std::string::npos) {
    const auto parsed = parseU32(std::string_view(text).substr(colon + 1));
    if (!parsed) return std::nullopt;
    cost = *parsed;
  }
  const std::string name = colon == std::string::npos ? text : text.substr(0, colon);
  if (name.empty()) return std::nullopt;
  return json{{"terminal", name}, {"cost", cost}, {"constraints", json::object()}};
}

std::string seedName(const json& seeds, std::size_t index) {
  return index < seeds.size() ? seeds.at(index).at("terminal").get<std::string>() : std::string("?");
}

void printSegments(std::uint32_t ticket, const json& segments, const json& seeds, bool asJson) {
  if (asJson) {
    std::printf("%s\n", json{{"ticket", ticket}, {"segments", segments}}.dump().c_str());
    return;
  }
  std::printf("ticket %u\n", ticket);
  std::printf("%-14s %10s  %-14s %s\n", "destination", "cost", "from", "inversion");
  for (const json& segment : segments) {
    const bool inverted = segment.value("constraints", json::object()).value("inversionNeeded", false);
    const auto seed = segment.value("indexOfStartingSeed", 0u);
    std::printf("%-14s %10u  %-14s %s\n", segment.value("destination", "").c_str(), segment.value("cost", 0u),
                seedName(seeds, seed).c_str(), inverted ? "yes" : "no");
  }
}

int runCalculate(const tRouteRequestOptions& options, bool asJson) {
  json seeds = json::array();
  for (const std::string& from : options.from) {
    const auto seed = seedOf(from);
    if (!seed) {
      std::fprintf(stderr, "kestrelctl: --from %s: expected NAME or NAME:COST with a cost from 0 to 4294967295\n",
                   from.c_str());
      return kUsage;
    }
    seeds.push_back(*seed);
  }
  const json destinations = options.to;
  json modifiers = json::object();
  if (options.ignoreReservations) modifiers["required"] = {{"calculateIgnoresReservations", true}};
  tRoutingClient client;
  if (!client.open(asJson)) return kFailure;
  quillhost::tFrameworkStatus status;
  tAnswer answer;
  const std::uint32_t ticket =
      client.adaptor().calculateRoute(client.session(), seeds.dump().c_str(), destinations.dump().c_str(),
                                      modifiers.dump().c_str(), &answer.text, status);
  if (status.isError()) return fail("calculate the route", status, asJson);
  const json segments = json::parse(answer.text != nullptr ? answer.text : "[]", nullptr, false);
  printSegments(ticket, segments.is_array() ? segments : json::array(), seeds, asJson);
  if (ticket == 0 && !asJson) std::fprintf(stderr, "kestrelctl: no route was asked of the driver\n");
  return 0;
}

int runPath(const tRouteRequestOptions& options, bool asJson) {
  tRoutingClient client;
  if (!client.open(asJson)) return kFailure;
  quillhost::tFrameworkStatus status;
  tAnswer answer;
  client.adaptor().getRouteTerminalPath(client.session(), options.ticket, &answer.text, status);
  if (status.isError()) return fail("read the path of route " + std::to_string(options.ticket), status, asJson);
  const json path = json::parse(answer.text != nullptr ? answer.text : "[]", nullptr, false);
  if (asJson) {
    std::printf("%s\n", json{{"ticket", options.ticket}, {"path", path.is_array() ? path : json::array()}}.dump().c_str());
    return 0;
  }
  for (const json& name : path) std::printf("%s\n", name.is_string() ? name.get<std::string>().c_str() : "");
  return 0;
}

}  // namespace

tRouteRequestCommands::tRouteRequestCommands(CLI::App& route) {
  calculate_ = route.add_subcommand("calculate", "calculate a route from seed terminals to destinations");
  calculate_->add_option("--from", options_.from, "seed terminal, NAME or NAME:COST (repeatable)")->required();
  calculate_->add_option("--to", options_.to, "destination terminal NAME (repeatable)")->required();
  calculate_->add_flag("--ignore-reservations", options_.ignoreReservations,
                       "route through lines other sessions have reserved");
  calculate_->footer("Example: kestrel-sim -- kestrelctl route calculate --from PXI_Trig0:1 --to PXI_Trig3 --to "
                     "TRIG_SMB\nTerminal names match without regard to case; 'kestrelctl terminals' lists them.");
  path_ = route.add_subcommand("path", "print the terminals a route passes through");
  path_->add_option("ticket", options_.ticket, "the route's ticket, as 'route calculate' printed it")->required();
  path_->footer("Example: kestrel-sim --profile routes.json -- kestrelctl route path 1");
}

int tRouteRequestCommands::run(bool json) const {
  return calculate_->parsed() ? runCalculate(options_, json) : runPath(options_, json);
}

}  // namespace kestrelctl
