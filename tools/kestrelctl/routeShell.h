// kestrelctl route shell: route commands, one per line from standard input
// or a file, in one routing session, so that a route can be calculated,
// reserved, programmed and released step by step. Each command is
// answered at once: in text, or with --json one document per line.
#pragma once

#include <string>

namespace kestrelctl {

// `file` "" or "-" reads standard input.
int runRouteShell(const std::string& file);

}  // namespace kestrelctl
