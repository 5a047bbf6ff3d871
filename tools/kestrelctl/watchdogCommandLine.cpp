#include "tools/kestrelctl/watchdogCommandLine.h"

#include <array>
#include <cstdio>
#include <utility>

#include "tools/kestrelctl/watchdogVocabulary.h"

namespace kestrelctl {
namespace {

constexpr int kUsage = 2;

constexpr std::array<std::pair<const char*, tWatchdogCommand>, 7> kCommands{{
    {"start", tWatchdogCommand::start},
    {"pet", tWatchdogCommand::pet},
    {"stop", tWatchdogCommand::stop},
    {"wait", tWatchdogCommand::wait},
    {"keepalive", tWatchdogCommand::keepalive},
    {"get", tWatchdogCommand::get},
    {"set", tWatchdogCommand::set},
}};

}  // namespace

tWatchdogCommandLine::tWatchdogCommandLine(CLI::App& app)
    : watchdog_(app.add_subcommand("watchdog", "arm, pet, stop and wait on the watchdog timer")) {
  watchdog_->require_subcommand(1);
  // kestrelctl's own options (--json) may follow the watchdog command.
  watchdog_->fallthrough();
  addTimerCommands();
  addAttributeCommands();
}

void tWatchdogCommandLine::addTimerCommands() {
  const char* timeoutHelp = "write the timeout attribute (milliseconds) before the start";
  auto* start = watchdog_->add_subcommand(
      "start", "arm the timer (it runs while this command's session is open: the close at the end stops it)");
  timeoutOptions_.push_back(start->add_option("--timeout", timeoutMs_, timeoutHelp));
  watchdog_->add_subcommand("pet", "reload the countdown of a running timer");
  watchdog_->add_subcommand("stop", "disarm the timer");
  auto* wait = watchdog_->add_subcommand("wait", "wait for the next notification and print what it said (Ctrl-C "
                                                 "cancels the wait)");
  wait->add_flag("--start", request_.startFirst, "arm the timer first");
  timeoutOptions_.push_back(wait->add_option("--timeout", timeoutMs_, timeoutHelp));
  auto* keepalive = watchdog_->add_subcommand(
      "keepalive", "start the timer and pet it on a schedule until the duration ends or Ctrl-C; then stop it");
  keepalive->add_option("--interval", request_.intervalMs, "milliseconds between pets")->required();
  keepalive->add_option("--for", duration_, "how long, e.g. 2s, 1500ms, 5m (default: until Ctrl-C or SIGTERM)");
  timeoutOptions_.push_back(keepalive->add_option("--timeout", timeoutMs_, timeoutHelp));
}

void tWatchdogCommandLine::addAttributeCommands() {
  std::string names;
  for (const auto& attribute : watchdogAttributes()) names += std::string(names.empty() ? "" : ", ") + attribute.name;
  auto* get = watchdog_->add_subcommand("get", "read a watchdog attribute");
  get->add_option("attribute", request_.attribute, "attribute name (" + names + ") or id")->required();
  auto* set = watchdog_->add_subcommand("set", "write a watchdog attribute");
  set->add_option("attribute", request_.attribute, "attribute name or id")->required();
  set->add_option("value", request_.value, "unsigned 32-bit value")->required();
}

int tWatchdogCommandLine::run(bool json) {
  request_.json = json;
  for (const auto& [name, command] : kCommands) {
    CLI::App* sub = watchdog_->get_subcommand(name);
    if (!sub->parsed()) continue;
    for (const CLI::Option* timeout : timeoutOptions_) {
      if (timeout->count() != 0) request_.timeoutMs = timeoutMs_;
    }
    if (!duration_.empty()) {
      request_.duration = parseDuration(duration_);
      if (!request_.duration) {
        std::fprintf(stderr, "kestrelctl: '%s' is not a duration such as 2s or 1500ms\n", duration_.c_str());
        return kUsage;
      }
    }
    return runWatchdogCommand(command, request_);
  }
  return kUsage;
}

}  // namespace kestrelctl
