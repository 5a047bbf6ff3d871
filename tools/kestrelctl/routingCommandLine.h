// The trigger-router commands of kestrelctl: 'terminals' and 'route'.
// Further route commands register under route().
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace kestrelctl {

class tRoutingCommandLine {
 public:
  explicit tRoutingCommandLine(CLI::App& app);

  bool parsed() const { return terminals_->parsed() || route_->parsed(); }
  int run(bool json);
  CLI::App* route() const { return route_; }

 private:
  int runRoute(bool json);

  CLI::App* terminals_;
  CLI::App* reset_;
  CLI::App* route_;
  CLI::App* watch_;
  std::string terminalName_;
  bool floating_ = false;
  std::string ticket_;
  unsigned watchCount_ = 0;
};

}  // namespace kestrelctl
