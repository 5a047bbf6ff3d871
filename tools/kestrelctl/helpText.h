// The help of a command, written from the command table: as text for
// people (--help, 'kestrelctl help COMMAND') and as JSON (with --json), the
// whole tree below the command included, for scripts and for the checks
// that the man page and the completion know every command.
#pragma once

#include <CLI/CLI.hpp>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kestrelctl {

std::string helpText(const CLI::App& command);
nlohmann::json helpJson(const CLI::App& command);

// Prints the help of `command` (text, or JSON under --json). Returns kSuccess.
int printHelp(const CLI::App& command);

// 'help [COMMAND...]': the help of the command `path` names below `root`;
// a usage error for a name that is no command there.
int runHelp(const CLI::App& root, const std::vector<std::string>& path);

}  // namespace kestrelctl
