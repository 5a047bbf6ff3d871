// Command lines the table does not accept, told in kestrelctl's own words:
// which command, which word, the nearest name and the usage, never the
// parser's own text.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace kestrelctl {

// Reports the parse failure of `arguments` (the words after the program's
// name) as a usage error. Returns kUsage.
int reportParseError(const CLI::App& root, const std::vector<std::string>& arguments, const CLI::ParseError& error);

// `word` is not a command, argument or option of `command`: says so, with
// the nearest name. Returns kUsage.
int reportUnknownWord(const CLI::App& command, const std::string& word);

// After a parse: a command that was named without one of its own commands
// ("kestrelctl watchdog") is a usage error. Returns kUsage then, else
// kSuccess.
int checkCommandChosen(const CLI::App& root);

}  // namespace kestrelctl
