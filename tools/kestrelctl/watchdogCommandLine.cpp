#include "tools/kestrelctl/watchdogCommandLine.h"

#include <array>
#include <utility>

#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogVocabulary.h"

namespace kestrelctl {
namespace {

constexpr std::array<std::pair<const char*, tWatchdogCommand>, 7> kCommands{{
    {"start", tWatchdogCommand::start},
    {"pet", tWatchdogCommand::pet},
    {"stop", tWatchdogCommand::stop},
    {"wait", tWatchdogCommand::wait},
    {"keepalive", tWatchdogCommand::keepalive},
    {"get", tWatchdogCommand::get},
    {"set", tWatchdogCommand::set},
}};

constexpr const char* kTimeoutHelp = "first set the timer's timeout attribute to MS milliseconds (at least 1)";

bool parseDurationOption(const std::string& option, const std::string& text,
                         std::optional<std::chrono::milliseconds>& out) {
  out = parseDuration(text);
  if (out && out->count() > 0) return true;
  printUsageError(option + " '" + text + "' is not a duration such as 2s, 1500ms or 5m");
  return false;
}

}  // namespace

tWatchdogCommandLine::tWatchdogCommandLine(CLI::App& app)
    : watchdog_(app.add_subcommand("watchdog", "arm, pet, stop and wait on the watchdog timer")) {
  watchdog_->require_subcommand(1);
  watchdog_->footer(
      "Only 'stop' and 'keepalive' end with the timer stopped. 'start' leaves the timer armed when it exits,\n"
      "and 'get', 'set', 'pet' and 'wait' leave a running timer running: pet it, or stop it, from then on.\n\n"
      "Examples:\n"
      "  kestrelctl watchdog set timeout 2000\n"
      "  kestrelctl watchdog start --timeout 2000\n"
      "  kestrelctl watchdog keepalive --interval 500 --for 10s\n"
      "  kestrelctl watchdog wait --within 5s\n"
      "  kestrelctl watchdog get state");
  addTimerCommands();
  addAttributeCommands();
}

void tWatchdogCommandLine::addTimerCommands() {
  auto* start = watchdog_->add_subcommand("start", "arm the timer; it stays armed after the command ends");
  timeoutOptions_.push_back(start->add_option("--timeout", timeoutMs_, kTimeoutHelp)->option_text("MS"));
  watchdog_->add_subcommand("pet", "reload the countdown of a running timer");
  watchdog_->add_subcommand("stop", "disarm the timer");
  auto* wait = watchdog_->add_subcommand(
      "wait", "wait for the next notification and print what it said (Ctrl-C cancels the wait)");
  wait->add_flag("--start", request_.startFirst, "arm the timer first");
  waitTimeout_ = wait->add_option("--timeout", timeoutMs_, "with --start: " + std::string(kTimeoutHelp))
                     ->option_text("MS");
  timeoutOptions_.push_back(waitTimeout_);
  withinOption_ = wait->add_option("--within", within_, "give up (exit 1) when nothing arrives within DURATION")
                      ->option_text("DURATION");
  auto* keepalive = watchdog_->add_subcommand(
      "keepalive", "start the timer and pet it on a schedule until the duration ends or Ctrl-C; then stop it");
  keepalive->add_option("--interval", request_.intervalMs, "milliseconds between pets, shorter than the timeout")
      ->option_text("MS")
      ->required();
  forOption_ = keepalive->add_option("--for", duration_, "how long, e.g. 2s, 1500ms, 5m (default: until Ctrl-C)")
                   ->option_text("DURATION");
  timeoutOptions_.push_back(keepalive->add_option("--timeout", timeoutMs_, kTimeoutHelp)->option_text("MS"));
}

void tWatchdogCommandLine::addAttributeCommands() {
  const std::string names = watchdogAttributeNames();
  auto* get = watchdog_->add_subcommand("get", "read a watchdog attribute");
  get->add_option("attribute", request_.attributeText, "attribute name (" + names + ") or id")->required();
  auto* set = watchdog_->add_subcommand("set", "write a watchdog attribute");
  set->add_option("attribute", request_.attributeText, "attribute name (timeout, expiry-action) or id")->required();
  set->add_option("value", value_, "unsigned 32-bit value")->required();
}

bool tWatchdogCommandLine::checkOptions(tWatchdogCommand command) {
  for (const CLI::Option* timeout : timeoutOptions_) {
    if (timeout->count() == 0) continue;
    if (timeoutMs_ == 0) return printUsageError("--timeout must be at least 1 ms"), false;
    request_.timeoutMs = timeoutMs_;
  }
  if (waitTimeout_->count() != 0 && !request_.startFirst) {
    printUsageError("wait --timeout sets the timer's timeout and needs --start; to limit the wait, use --within");
    return false;
  }
  if (forOption_->count() != 0 && !parseDurationOption("--for", duration_, request_.duration)) return false;
  if (withinOption_->count() != 0 && !parseDurationOption("--within", within_, request_.within)) return false;
  if (command == tWatchdogCommand::keepalive && request_.intervalMs == 0) {
    return printUsageError("--interval must be at least 1 ms"), false;
  }
  if (command != tWatchdogCommand::get && command != tWatchdogCommand::set) return true;
  request_.attribute = findWatchdogAttribute(request_.attributeText);
  if (!request_.attribute) {
    printUsageError("unknown watchdog attribute '" + request_.attributeText + "'; give a name (" +
                    watchdogAttributeNames() + ") or an id");
    return false;
  }
  if (command == tWatchdogCommand::get) return true;
  if (!request_.attribute->writable) {
    return printUsageError(request_.attributeText + " is read-only; the writable ones are timeout and expiry-action"),
           false;
  }
  const auto value = parseU32(value_);
  if (!value) return printUsageError("'" + value_ + "' is not an unsigned 32-bit number"), false;
  request_.value = *value;
  return true;
}

int tWatchdogCommandLine::run() {
  for (const auto& [name, command] : kCommands) {
    if (!watchdog_->get_subcommand(name)->parsed()) continue;
    if (!checkOptions(command)) return kUsage;
    return runWatchdogCommand(command, request_);
  }
  return kUsage;
}

}  // namespace kestrelctl
