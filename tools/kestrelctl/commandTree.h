// kestrelctl's commands as one table: the tree of commands, arguments and
// options that parses the command line also writes the help texts, the
// JSON help, the completion words and the suggestions for mistyped names.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace kestrelctl {

// "kestrelctl watchdog start" for the command `app`.
std::string commandPath(const CLI::App& app);

// The command at the top of the tree `app` belongs to.
const CLI::App& rootOf(const CLI::App& app);
// The command line that shows the help of `app`: "kestrelctl help route path".
std::string helpCommandFor(const CLI::App& app);

// The commands under `app` that are meant to be seen, in table order.
std::vector<const CLI::App*> subcommandsOf(const CLI::App& app);
std::vector<CLI::App*> subcommandsOf(CLI::App& app);
// The options (not the positional arguments) of `app` that are meant to be
// seen, the help flag last.
std::vector<const CLI::Option*> optionsOf(const CLI::App& app);
// The positional arguments of `app`, in order.
std::vector<const CLI::Option*> argumentsOf(const CLI::App& app);

// "--timeout" and "-o, --output"; the value's name ("MS") apart.
std::string optionNames(const CLI::Option& option);
// The name a value is shown with: "MS", "TICKET", "FILE".
std::string valueName(const CLI::Option& option);
bool takesValue(const CLI::Option& option);
bool isRepeatable(const CLI::Option& option);

// "kestrelctl route path TICKET", with the options in brackets.
std::string usageLine(const CLI::App& app);

// The command the parse reached: the last command named on the line.
const CLI::App& deepestCommand(const CLI::App& root);

// The option of `app` or of a command above it with the name `name`
// ("--index", "-o"), or null.
const CLI::Option* findOption(const CLI::App& app, std::string_view name);

// The candidate closest to `word` when it is close enough to be a typing
// slip (at most a third of the word's letters differ); "" otherwise.
std::string nearestName(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace kestrelctl
