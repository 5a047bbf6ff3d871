#include "tools/kestrelctl/watchdogCommandLine.h"

#include <array>
#include <utility>

#include "tools/kestrelctl/attributeCommands.h"
#include "tools/kestrelctl/completion.h"
#include "tools/kestrelctl/numberText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogVocabulary.h"

namespace kestrelctl {
namespace {

constexpr std::array<std::pair<const char*, tWatchdogCommand>, 8> kCommands{{
    {"status", tWatchdogCommand::status},
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
  printUsageError(option + " '" + text + "' is not a duration such as 2s, 1500ms or 5m",
                  "A duration is a whole number with ms, s, m or h after it (a bare number is seconds), above 0.");
  return false;
}

// Milliseconds from 1 to 4294967295.
std::optional<std::uint32_t> parseMilliseconds(const std::string& option, const std::string& text) {
  const auto value = parseU32(text);
  if (value && *value >= 1) return value;
  printUsageError(option + " '" + text + "' is not a number of milliseconds from 1 to 4294967295");
  return std::nullopt;
}

std::vector<std::string> watchdogAttributeWords() {
  std::vector<std::string> words;
  for (const auto& attribute : attributeCatalog()) {
    if (attribute.target == tTarget::watchdog) words.push_back(std::string(attribute.name).substr(9));
  }
  return words;
}

}  // namespace

tWatchdogCommandLine::tWatchdogCommandLine(CLI::App& app)
    : watchdog_(app.add_subcommand("watchdog", "arm, pet, stop, wait on and look at the watchdog timer")) {
  watchdog_->footer(
      "Only 'stop' and 'keepalive' end with the timer stopped, and 'start' leaves it armed. Every other command\n"
      "leaves the timer as it found it: stopped, running or expired.\n\n"
      "Examples:\n"
      "  kestrelctl watchdog status\n"
      "  kestrelctl watchdog set timeout 2000\n"
      "  kestrelctl watchdog set expiry-action reset\n"
      "  kestrelctl watchdog start --timeout 2000\n"
      "  kestrelctl watchdog keepalive --interval 500 --for 10s\n"
      "  kestrelctl watchdog wait --within 5s");
  watchdog_->add_subcommand("status", "the timer at a glance: state, timeout, expiry action, time remaining");
  addTimerCommands();
  addAttributeCommands();
  watchdog_->require_subcommand(1);
}

void tWatchdogCommandLine::addTimerCommands() {
  auto* start = watchdog_->add_subcommand("start", "arm the timer; it stays armed after the command ends");
  timeoutOptions_.push_back(start->add_option("--timeout", timeout_, kTimeoutHelp)->option_text("MS"));
  watchdog_->add_subcommand("pet", "reload the countdown of a running timer");
  watchdog_->add_subcommand("stop", "disarm the timer");
  auto* wait = watchdog_->add_subcommand(
      "wait", "wait for the next notification and print what it said (Ctrl-C cancels the wait: exit 130)");
  wait->add_flag("--start", request_.startFirst, "arm the timer first");
  waitTimeout_ = wait->add_option("--timeout", timeout_, "with --start: " + std::string(kTimeoutHelp))
                     ->option_text("MS");
  timeoutOptions_.push_back(waitTimeout_);
  withinOption_ = wait->add_option("--within", within_, "give up (exit 1) when nothing arrives within DURATION")
                      ->option_text("DURATION");
  auto* keepalive = watchdog_->add_subcommand(
      "keepalive", "start the timer and pet it on a schedule until the duration ends or Ctrl-C; then stop it");
  intervalOption_ = keepalive->add_option("--interval", interval_, "milliseconds between pets, shorter than the timeout")
                        ->option_text("MS")
                        ->required();
  forOption_ = keepalive->add_option("--for", duration_, "how long, e.g. 2s, 1500ms, 5m (default: until Ctrl-C)")
                   ->option_text("DURATION");
  timeoutOptions_.push_back(keepalive->add_option("--timeout", timeout_, kTimeoutHelp)->option_text("MS"));
}

void tWatchdogCommandLine::addAttributeCommands() {
  const std::string names = watchdogAttributeNames();
  auto* get = watchdog_->add_subcommand("get", "read a watchdog attribute");
  completeValuesWith(get->add_option("attribute", request_.attributeText, "attribute name (" + names + ") or id")
                         ->option_text("NAME|ID")
                         ->required(),
                     watchdogAttributeWords);
  auto* set = watchdog_->add_subcommand("set", "write a watchdog attribute");
  completeValuesWith(set->add_option("attribute", request_.attributeText, "attribute name (timeout, expiry-action) or id")
                         ->option_text("NAME|ID")
                         ->required(),
                     [] { return std::vector<std::string>{"timeout", "expiry-action"}; });
  set->add_option("value", value_, "a number, or for expiry-action a name: notify, reset or trigger")
      ->option_text("VALUE")
      ->required();
}

bool tWatchdogCommandLine::checkOptions(tWatchdogCommand command) {
  for (const CLI::Option* timeout : timeoutOptions_) {
    if (timeout->count() == 0) continue;
    request_.timeoutMs = parseMilliseconds("--timeout", timeout_);
    if (!request_.timeoutMs) return false;
  }
  if (waitTimeout_->count() != 0 && !request_.startFirst) {
    printUsageError("wait --timeout sets the timer's timeout and needs --start; to limit the wait, use --within");
    return false;
  }
  if (forOption_->count() != 0 && !parseDurationOption("--for", duration_, request_.duration)) return false;
  if (withinOption_->count() != 0 && !parseDurationOption("--within", within_, request_.within)) return false;
  if (command == tWatchdogCommand::keepalive) {
    const auto interval = parseMilliseconds("--interval", interval_);
    if (!interval) return false;
    request_.intervalMs = *interval;
  }
  return checkAttribute(command);
}

bool tWatchdogCommandLine::checkAttribute(tWatchdogCommand command) {
  if (command != tWatchdogCommand::get && command != tWatchdogCommand::set) return true;
  request_.attribute = findWatchdogAttribute(request_.attributeText);
  if (!request_.attribute) {
    printUsageError("unknown watchdog attribute '" + request_.attributeText + "'; give a name (" +
                    watchdogAttributeNames() + ") or an id");
    return false;
  }
  if (command == tWatchdogCommand::get) return true;
  if (!request_.attribute->writable) {
    printUsageError(request_.attributeText + " is read-only; the writable ones are timeout and expiry-action");
    return false;
  }
  const auto value = parseValue(*request_.attribute, value_);
  if (!value) return false;
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
