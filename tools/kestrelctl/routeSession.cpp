#include "tools/kestrelctl/routeSession.h"

#include <kestrel/kestrel.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

using nlohmann::json;

constexpr const char* kLifetimeHint =
    "A ticket lives as long as the program that calculated it: the driver destroys the route when that program ends. "
    "To keep a route, use 'kestrelctl route hold', or calculate and step it in one 'kestrelctl route shell'.";
constexpr const char* kStepOrderHint =
    "A route goes calculated -> reserved -> programmed with reserve and program, and back with unprogram and "
    "unreserve; destroy ends it in any state.";
constexpr const char* kRefusedMeaning = "the driver refused the step: the route is not in a state that allows it";
constexpr const char* kNoRouteMeaning =
    "the driver found no route: a destination that no seed reaches, or a seed that is its own destination";

// An answer document from the adaptor, released with the object.
struct tAnswer {
  ~tAnswer() { std::free(text); }
  char* text = nullptr;
  json parsed() const {
    auto document = json::parse(text != nullptr ? text : "[]", nullptr, false);
    return document.is_array() ? document : json::array();
  }
};

bool sameLetters(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<tRouteState> neededState(tRouteStep step) {
  switch (step) {
    case tRouteStep::reserve: return tRouteState::calculated;
    case tRouteStep::program: return tRouteState::reserved;
    case tRouteStep::unprogram: return tRouteState::programmed;
    case tRouteStep::unreserve: return tRouteState::reserved;
    case tRouteStep::destroy: break;
  }
  return std::nullopt;
}

tRouteState stateAfter(tRouteStep step) {
  switch (step) {
    case tRouteStep::reserve:
    case tRouteStep::unprogram: return tRouteState::reserved;
    case tRouteStep::program: return tRouteState::programmed;
    default: return tRouteState::calculated;
  }
}

std::string ticketText(std::uint32_t ticket) { return "route " + std::to_string(ticket); }

int noSuchRoute(std::uint32_t ticket) {
  return printUsageError("no route has ticket " + std::to_string(ticket), kLifetimeHint);
}

void printConflicts(const json& conflicts) {
  for (const auto& conflict : conflicts) {
    std::fprintf(stderr, "  held by session 0x%llx, route %u\n",
                 static_cast<unsigned long long>(conflict.value("sessionId", 0ull)), conflict.value("ticket", 0u));
  }
}

}  // namespace

const char* stepName(tRouteStep step) {
  switch (step) {
    case tRouteStep::reserve: return "reserve";
    case tRouteStep::program: return "program";
    case tRouteStep::unprogram: return "unprogram";
    case tRouteStep::unreserve: return "unreserve";
    case tRouteStep::destroy: return "destroy";
  }
  return "?";
}

const char* stateName(tRouteState state) {
  switch (state) {
    case tRouteState::calculated: return "calculated";
    case tRouteState::reserved: return "reserved";
    case tRouteState::programmed: return "programmed";
  }
  return "?";
}

tRouteSession::~tRouteSession() {
  if (demotionEvents_ >= 0) close(demotionEvents_);
}

bool tRouteSession::open() {
  demotionEvents_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return client_.open(&tRouteSession::onDemotion, this);
}

void tRouteSession::onDemotion(void* context, std::int32_t, tStatusReport*) {
  auto& session = *static_cast<tRouteSession*>(context);
  session.demotions_.fetch_add(1);
  const std::uint64_t one = 1;
  // A full counter still leaves the descriptor readable.
  if (session.demotionEvents_ >= 0 && write(session.demotionEvents_, &one, sizeof one) < 0) return;
}

unsigned tRouteSession::takeDemotions() {
  std::uint64_t count = 0;
  // Empties the counter; the number itself is kept in demotions_.
  if (demotionEvents_ >= 0 && read(demotionEvents_, &count, sizeof count) < 0) count = 0;
  const unsigned now = demotions_.load();
  const unsigned fresh = now - demotionsSeen_;
  demotionsSeen_ = now;
  if (fresh == 0) return 0;
  // The driver says only that a route was demoted, not which.
  for (auto& [ticket, route] : routes_) {
    if (route.state != tRouteState::calculated) route.maybeDemoted = true;
  }
  return fresh;
}

int tRouteSession::terminals(std::vector<quillhost::tTerminalRow>& rows) {
  if (!terminals_) {
    quillhost::tFrameworkStatus status;
    auto read = quillhost::readTerminals(client_.adaptor(), client_.session(), status);
    if (status.isError()) return printRoutingFailure("read the terminals", status);
    terminals_ = std::move(read);
  }
  rows = *terminals_;
  return kSuccess;
}

int tRouteSession::checkNames(const std::vector<tSeed>& seeds, const std::vector<std::string>& destinations) {
  std::vector<quillhost::tTerminalRow> rows;
  if (const int status = terminals(rows); status != kSuccess) return status;
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.name);
  std::vector<std::string> asked;
  for (const auto& seed : seeds) asked.push_back(seed.terminal);
  asked.insert(asked.end(), destinations.begin(), destinations.end());
  for (const auto& name : asked) {
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) { return sameLetters(n, name); });
    if (known) continue;
    const std::string nearest = nearestName(name, names);
    return printUsageError("no terminal is named '" + name + "'" +
                               (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"),
                           "'kestrelctl terminals' lists the terminals; names match without regard to case.");
  }
  return kSuccess;
}

int tRouteSession::calculate(const std::vector<tSeed>& seeds, const std::vector<std::string>& destinations,
                             bool ignoreReservations, tCalculation& result) {
  if (const int status = checkNames(seeds, destinations); status != kSuccess) return status;
  json seedDocument = json::array();
  for (const auto& seed : seeds) {
    seedDocument.push_back({{"terminal", seed.terminal}, {"cost", seed.cost}, {"constraints", json::object()}});
  }
  json modifiers = json::object();
  if (ignoreReservations) modifiers["required"] = {{"calculateIgnoresReservations", true}};
  quillhost::tFrameworkStatus status;
  tAnswer answer;
  result.ticket = client_.adaptor().calculateRoute(client_.session(), seedDocument.dump().c_str(),
                                                   json(destinations).dump().c_str(), modifiers.dump().c_str(),
                                                   &answer.text, status);
  if (status.isError()) {
    const bool refused = status.code() == brioerr_invalidParameter;
    return printRoutingFailure("calculate the route", status,
                               refused ? "Check that each destination can be reached from a seed other than itself." : "",
                               refused ? kNoRouteMeaning : "");
  }
  result.segments = answer.parsed();
  routes_[result.ticket] = tKnownRoute{tRouteState::calculated, true, false};
  lastTicket_ = result.ticket;
  return kSuccess;
}

int tRouteSession::path(std::uint32_t ticket, std::vector<std::string>& terminals) {
  quillhost::tFrameworkStatus status;
  tAnswer answer;
  client_.adaptor().getRouteTerminalPath(client_.session(), ticket, &answer.text, status);
  if (status.code() == brioerr_invalidParameter) return noSuchRoute(ticket);
  if (status.isError()) return printRoutingFailure("read the path of " + ticketText(ticket), status);
  terminals.clear();
  for (const json& name : answer.parsed()) terminals.push_back(name.is_string() ? name.get<std::string>() : "");
  return kSuccess;
}

bool tRouteSession::exists(std::uint32_t ticket) {
  quillhost::tFrameworkStatus status;
  tAnswer answer;
  client_.adaptor().getRouteTerminalPath(client_.session(), ticket, &answer.text, status);
  return status.code() != brioerr_invalidParameter;
}

int tRouteSession::checkOtherRoute(tRouteStep step, std::uint32_t ticket) {
  if (!exists(ticket)) return noSuchRoute(ticket);
  if (step != tRouteStep::unprogram && step != tRouteStep::unreserve) return kSuccess;
  return printUsageError(
      "kestrelctl does not know whether " + ticketText(ticket) + " is " + stateName(*neededState(step)) +
          ": it was not reserved or programmed by this kestrelctl, and the driver answers " + stepName(step) +
          " with nothing, so a refused step would look like a done one",
      "Reserve and program a route in 'kestrelctl route shell' or with 'kestrelctl route hold', where kestrelctl "
      "knows its state.");
}

int tRouteSession::checkStep(tRouteStep step, std::uint32_t ticket) {
  takeDemotions();
  const auto found = routes_.find(ticket);
  if (found == routes_.end()) return checkOtherRoute(step, ticket);
  const auto needed = neededState(step);
  const tKnownRoute& route = found->second;
  if (!needed || route.state == *needed) return kSuccess;
  // A demoted route is calculated again; the driver's answer to a reserve
  // tells, and unprogram and unreserve of it do no harm.
  if (route.maybeDemoted) return kSuccess;
  return printUsageError("cannot " + std::string(stepName(step)) + " " + ticketText(ticket) + ": it is " +
                             stateName(route.state) + ", and " + stepName(step) + " needs a " + stateName(*needed) +
                             " route",
                         kStepOrderHint);
}

int tRouteSession::reserve(std::uint32_t ticket) {
  quillhost::tFrameworkStatus status;
  char* conflicts = nullptr;
  client_.adaptor().reserveRoute(client_.session(), ticket, &conflicts, status);
  json held = json::parse(conflicts != nullptr ? conflicts : "[]", nullptr, false);
  std::free(conflicts);
  if (!status.isError()) return kSuccess;
  const bool refused = status.code() == brioerr_invalidParameter;
  tProblem problem = routingProblem("reserve " + ticketText(ticket), status, refused ? kStepOrderHint : "",
                                    refused ? kRefusedMeaning : "");
  if (held.is_array() && !held.empty()) {
    problem.extra["conflicts"] = held;
    problem.hint = "Other sessions hold reservations on the same lines: wait until they release them, or route to "
                   "other destinations.";
  }
  report(problem, kFailure);
  if (!outputOptions().json && held.is_array()) printConflicts(held);
  return kFailure;
}

int tRouteSession::destroy(std::uint32_t ticket) {
  const auto found = routes_.find(ticket);
  const auto& adaptor = client_.adaptor();
  // A route is taken down the way it went up before it is destroyed.
  if (found != routes_.end() && found->second.state == tRouteState::programmed) {
    adaptor.unprogramRoute(client_.session(), ticket);
  }
  if (found != routes_.end() && found->second.state != tRouteState::calculated) {
    adaptor.unreserveRoute(client_.session(), ticket);
  }
  adaptor.destroyRoute(client_.session(), ticket);
  routes_.erase(ticket);
  // The driver answers destroy with nothing: the route's absence is the answer.
  if (!exists(ticket)) return kSuccess;
  return printProblem("destroy " + ticketText(ticket), ticketText(ticket) + " still exists after the destroy",
                      "The driver kept the route; 'kestrelctl route path " + std::to_string(ticket) + "' shows it.");
}

int tRouteSession::send(tRouteStep step, std::uint32_t ticket) {
  const auto& adaptor = client_.adaptor();
  quillhost::tFrameworkStatus status;
  switch (step) {
    case tRouteStep::reserve: return reserve(ticket);
    case tRouteStep::program:
      adaptor.programRoute(client_.session(), ticket, status);
      if (!status.isError()) return kSuccess;
      if (status.code() != brioerr_invalidParameter) return printRoutingFailure("program " + ticketText(ticket), status);
      return printRoutingFailure("program " + ticketText(ticket), status, kStepOrderHint, kRefusedMeaning);
    case tRouteStep::unprogram: adaptor.unprogramRoute(client_.session(), ticket); return kSuccess;
    case tRouteStep::unreserve: adaptor.unreserveRoute(client_.session(), ticket); return kSuccess;
    case tRouteStep::destroy: return destroy(ticket);
  }
  return kFailure;
}

int tRouteSession::step(tRouteStep step, std::uint32_t ticket) {
  if (const int checked = checkStep(step, ticket); checked != kSuccess) return checked;
  if (const int sent = send(step, ticket); sent != kSuccess) return sent;
  if (step == tRouteStep::destroy) return kSuccess;
  auto& route = routes_[ticket];
  route.state = stateAfter(step);
  route.maybeDemoted = false;
  // Another program's route, back to calculated, holds nothing of this session.
  if (!route.calculatedHere && route.state == tRouteState::calculated) routes_.erase(ticket);
  return kSuccess;
}

std::vector<std::uint32_t> tRouteSession::release() {
  std::vector<std::uint32_t> released;
  const auto& adaptor = client_.adaptor();
  for (const auto& [ticket, route] : std::map<std::uint32_t, tKnownRoute>(routes_)) {
    if (route.calculatedHere) {
      destroy(ticket);
    } else {
      if (route.state == tRouteState::programmed) adaptor.unprogramRoute(client_.session(), ticket);
      adaptor.unreserveRoute(client_.session(), ticket);
      routes_.erase(ticket);
    }
    released.push_back(ticket);
  }
  return released;
}

}  // namespace kestrelctl
