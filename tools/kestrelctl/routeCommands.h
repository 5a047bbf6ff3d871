// kestrelctl route: one step of a route ticket (reserve, program,
// unprogram, unreserve, destroy), and watching for route demotions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrelctl {

enum class tRouteStep { reserve, program, unprogram, unreserve, destroy };

// The step named `word`, if any.
std::optional<tRouteStep> routeStepNamed(const std::string& word);
int runRouteStep(tRouteStep step, std::uint32_t ticket, bool json);
// Prints each demotion as it arrives until Ctrl-C or SIGTERM (or `count`
// demotions, when not 0).
int runRouteWatch(unsigned count, bool json);

}  // namespace kestrelctl
