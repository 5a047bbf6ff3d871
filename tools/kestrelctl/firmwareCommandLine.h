// The "firmware" subcommand of kestrelctl and its own subcommands.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/kestrelctl/firmwareCommands.h"

namespace kestrelctl {

class tFirmwareCommandLine {
 public:
  explicit tFirmwareCommandLine(CLI::App& app);

  bool parsed() const { return firmware_->parsed(); }
  // Runs the command that was parsed.
  int run();

 private:
  CLI::App* firmware_;
  tFirmwareRequest request_;
};

}  // namespace kestrelctl
