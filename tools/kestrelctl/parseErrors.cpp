#include "tools/kestrelctl/parseErrors.h"

#include <optional>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"

namespace kestrelctl {
namespace {

std::string usageHint(const CLI::App& command) {
  return "Usage: " + usageLine(command) + "; '" + helpCommandFor(command) + "' shows more.";
}

// The command's path in quotes; the shell's commands have none above them.
std::string quotedPath(const CLI::App& command) {
  const std::string path = commandPath(command);
  return path.empty() ? "the shell" : "'" + path + "'";
}

std::string commandList(const CLI::App& command) {
  std::string list;
  for (const CLI::App* sub : subcommandsOf(command)) list += (list.empty() ? "" : ", ") + sub->get_name();
  return list;
}

std::vector<std::string> optionSpellings(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::App* at = &command; at != nullptr; at = at->get_parent()) {
    for (const CLI::Option* option : optionsOf(*at)) {
      for (const auto& name : option->get_lnames()) names.push_back("--" + name);
    }
  }
  return names;
}

}  // namespace

int reportUnknownWord(const CLI::App& command, const std::string& word) {
  if (word.size() > 1 && word[0] == '-') {
    const std::string bare = word.substr(0, word.find('='));
    const std::string nearest = nearestName(bare, optionSpellings(command));
    return printUsageError("unknown option '" + bare + "' for " + quotedPath(command) +
                               (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"),
                           usageHint(command));
  }
  if (!subcommandsOf(command).empty()) {
    std::vector<std::string> names;
    for (const CLI::App* sub : subcommandsOf(command)) names.push_back(sub->get_name());
    const std::string nearest = nearestName(word, names);
    return printUsageError("'" + word + "' is not a command of " + quotedPath(command) +
                               (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"),
                           "The commands: " + commandList(command) + ". '" + helpCommandFor(command) +
                               "' shows what each does.");
  }
  return printUsageError("unexpected argument '" + word + "' for " + quotedPath(command), usageHint(command));
}

namespace {

// An option at the end of the line, or before another option, that needs a value.
std::optional<std::string> optionWithoutValue(const CLI::App& command, const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word.size() < 2 || word[0] != '-' || word.find('=') != std::string::npos) continue;
    const CLI::Option* option = findOption(command, word);
    if (option == nullptr || !takesValue(*option)) continue;
    if (i + 1 == arguments.size() || (arguments[i + 1].size() > 1 && arguments[i + 1][0] == '-')) {
      return word + " needs a value (" + valueName(*option) + ")";
    }
  }
  return std::nullopt;
}

std::optional<std::string> missingRequirement(const CLI::App& command) {
  for (const CLI::App* at = &command; at != nullptr; at = at->get_parent()) {
    for (const CLI::Option* option : at->get_options({})) {
      if (!option->get_required() || option->count() != 0) continue;
      const std::string what = option->nonpositional() ? optionNames(*option) + " " + valueName(*option)
                                                       : valueName(*option);
      return quotedPath(*at) + " needs " + what + " (" + option->get_description() + ")";
    }
  }
  return std::nullopt;
}

}  // namespace

int reportParseError(const CLI::App& root, const std::vector<std::string>& arguments, const CLI::ParseError&) {
  const CLI::App& command = deepestCommand(root);
  const std::vector<std::string> extras = root.remaining(true);
  if (!extras.empty()) return reportUnknownWord(command, extras.front());
  if (const auto message = optionWithoutValue(command, arguments)) return printUsageError(*message, usageHint(command));
  if (const auto message = missingRequirement(command)) return printUsageError(*message, usageHint(command));
  if (checkCommandChosen(root) != kSuccess) return kUsage;
  return printUsageError("the command line of " + quotedPath(command) + " is not valid", usageHint(command));
}

int checkCommandChosen(const CLI::App& root) {
  const CLI::App& command = deepestCommand(root);
  // 'terminals' lists the terminals by itself; 'terminals reset' is a command of its own.
  const bool needsOne = command.get_parent() == nullptr || command.get_require_subcommand_min() > 0;
  if (subcommandsOf(command).empty() || !needsOne) return kSuccess;
  return printUsageError(quotedPath(command) + " needs a command: " + commandList(command),
                         "'" + helpCommandFor(command) + "' shows what each does.");
}

}  // namespace kestrelctl
