// The "watchdog" subcommand of kestrelctl and its own subcommands.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "tools/kestrelctl/watchdogCommands.h"

namespace kestrelctl {

class tWatchdogCommandLine {
 public:
  explicit tWatchdogCommandLine(CLI::App& app);

  bool parsed() const { return watchdog_->parsed(); }
  // Checks the values and runs the command that was parsed.
  int run();

 private:
  void addTimerCommands();
  void addAttributeCommands();
  // Fills the request from the options; false after a usage error.
  bool checkOptions(tWatchdogCommand command);
  bool checkAttribute(tWatchdogCommand command);

  CLI::App* watchdog_;
  tWatchdogRequest request_;
  std::string timeout_;
  std::string interval_;
  std::string duration_;
  std::string within_;
  std::string value_;
  std::vector<CLI::Option*> timeoutOptions_;
  CLI::Option* forOption_ = nullptr;
  CLI::Option* withinOption_ = nullptr;
  CLI::Option* waitTimeout_ = nullptr;
  CLI::Option* intervalOption_ = nullptr;
};

}  // namespace kestrelctl
