// The trigger-router commands of kestrelctl: 'terminals' and 'route'.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "tools/kestrelctl/routeCommands.h"

namespace kestrelctl {

class tRoutingCommandLine {
 public:
  explicit tRoutingCommandLine(CLI::App& app);

  bool parsed() const { return terminals_->parsed() || route_->parsed(); }
  int run();

 private:
  void addRouteCommands();
  int runRoute();

  CLI::App* terminals_;
  CLI::App* reset_;
  CLI::App* route_;
  CLI::App* watch_ = nullptr;
  CLI::App* hold_ = nullptr;
  CLI::App* shell_ = nullptr;
  std::unique_ptr<tRouteOperations> operations_;
  tCalculationRequest holdRequest_;
  std::string terminalName_;
  bool floating_ = false;
  std::string watchCount_;
  std::string shellFile_;
};

}  // namespace kestrelctl
