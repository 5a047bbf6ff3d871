// "kestrelctl route calculate" and "kestrelctl route path": route requests
// through the routing adaptor's exported functions.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrelctl {

struct tRouteRequestOptions {
  std::vector<std::string> from;  // NAME or NAME:COST
  std::vector<std::string> to;
  bool ignoreReservations = false;
  std::uint32_t ticket = 0;
};

class tRouteRequestCommands {
 public:
  // Adds "calculate" and "path" to the "route" subcommand.
  explicit tRouteRequestCommands(CLI::App& route);

  bool parsed() const { return calculate_->parsed() || path_->parsed(); }
  // Runs the command that was parsed; `json` is kestrelctl's --json.
  int run(bool json) const;

 private:
  CLI::App* calculate_;
  CLI::App* path_;
  tRouteRequestOptions options_;
};

}  // namespace kestrelctl
