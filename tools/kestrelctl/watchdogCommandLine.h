// The "watchdog" subcommand of kestrelctl and its own subcommands.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "tools/kestrelctl/watchdogCommands.h"

namespace kestrelctl {

class tWatchdogCommandLine {
 public:
  explicit tWatchdogCommandLine(CLI::App& app);

  bool parsed() const { return watchdog_->parsed(); }
  // Runs the command that was parsed; `json` is kestrelctl's --json.
  int run(bool json);

 private:
  void addTimerCommands();
  void addAttributeCommands();

  CLI::App* watchdog_;
  tWatchdogRequest request_;
  std::string duration_;
  std::uint32_t timeoutMs_ = 0;
  std::vector<CLI::Option*> timeoutOptions_;
};

}  // namespace kestrelctl
