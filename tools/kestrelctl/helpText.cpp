#include "tools/kestrelctl/helpText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/parseErrors.h"

namespace kestrelctl {
namespace {

constexpr std::size_t kLineWidth = 100;

struct tEntry {
  std::string term;
  std::string description;
};

// "--timeout MS", "--json[=pretty]": a flag's option text stands right
// after its name.
std::string spelling(const CLI::Option& option) {
  if (!option.nonpositional()) return valueName(option);
  if (takesValue(option)) return optionNames(option) + " " + valueName(option);
  return optionNames(option) + option.get_option_text();
}

// The description after the term, wrapped at word ends with a hanging
// indent.
void appendEntries(std::string& out, const char* title, const std::vector<tEntry>& entries) {
  if (entries.empty()) return;
  std::size_t width = 0;
  for (const auto& entry : entries) width = std::max(width, entry.term.size());
  out += std::string(title) + ":\n";
  for (const auto& entry : entries) {
    std::string line = "  " + entry.term + std::string(width - entry.term.size() + 2, ' ');
    const std::size_t indent = line.size();
    std::size_t column = indent;
    std::string word;
    const auto flush = [&] {
      if (word.empty()) return;
      if (column > indent && column + 1 + word.size() > kLineWidth) {
        line += "\n" + std::string(indent, ' ');
        column = indent;
      } else if (column > indent) {
        line += ' ';
        ++column;
      }
      line += word;
      column += word.size();
      word.clear();
    };
    for (const char c : entry.description) {
      if (c == ' ') flush();
      else word += c;
    }
    flush();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  out += "\n";
}

std::vector<tEntry> optionEntries(const CLI::App& command) {
  std::vector<tEntry> entries;
  for (const CLI::Option* option : optionsOf(command)) entries.push_back({spelling(*option), option->get_description()});
  return entries;
}

nlohmann::json optionJson(const CLI::Option& option) {
  nlohmann::json names = nlohmann::json::array();
  for (const auto& name : option.get_snames()) names.push_back("-" + name);
  for (const auto& name : option.get_lnames()) names.push_back("--" + name);
  return {{"names", names},
          {"value", takesValue(option) ? nlohmann::json(valueName(option)) : nlohmann::json()},
          {"description", option.get_description()},
          {"required", option.get_required()},
          {"repeatable", isRepeatable(option)}};
}

// Commands inherit their parent's footer; only a footer of their own is shown.
std::string ownFooter(const CLI::App& command) {
  const CLI::App* parent = command.get_parent();
  const std::string footer = command.get_footer();
  return parent != nullptr && parent->get_footer() == footer ? std::string() : footer;
}

}  // namespace

std::string helpText(const CLI::App& command) {
  std::string out = "Usage: " + usageLine(command) + "\n\n";
  if (!command.get_description().empty()) out += command.get_description() + "\n\n";
  std::vector<tEntry> commands;
  for (const CLI::App* sub : subcommandsOf(command)) commands.push_back({sub->get_name(), sub->get_description()});
  appendEntries(out, "Commands", commands);
  std::vector<tEntry> arguments;
  for (const CLI::Option* argument : argumentsOf(command)) {
    arguments.push_back({valueName(*argument), argument->get_description()});
  }
  appendEntries(out, "Arguments", arguments);
  const CLI::App& root = rootOf(command);
  const bool atRoot = &root == &command;
  const bool kestrelctl = root.get_name() == "kestrelctl";
  appendEntries(out, atRoot && kestrelctl ? "Options (anywhere on the command line)" : "Options",
                optionEntries(command));
  if (!commands.empty()) out += "'" + helpCommandFor(command) + " COMMAND' shows the help of a command.\n\n";
  if (!atRoot && kestrelctl) {
    out += "kestrelctl's own options (--json[=pretty], --no-headings) may stand anywhere on the line.\n\n";
  }
  if (const std::string footer = ownFooter(command); !footer.empty()) out += footer + "\n";
  while (out.ends_with("\n\n")) out.pop_back();
  return out;
}

nlohmann::json helpJson(const CLI::App& command) {
  nlohmann::json arguments = nlohmann::json::array();
  for (const CLI::Option* argument : argumentsOf(command)) {
    arguments.push_back({{"name", valueName(*argument)},
                         {"description", argument->get_description()},
                         {"required", argument->get_required()},
                         {"repeatable", isRepeatable(*argument)}});
  }
  nlohmann::json options = nlohmann::json::array();
  for (const CLI::Option* option : optionsOf(command)) options.push_back(optionJson(*option));
  nlohmann::json commands = nlohmann::json::array();
  for (const CLI::App* sub : subcommandsOf(command)) commands.push_back(helpJson(*sub));
  return {{"command", commandPath(command)},
          {"description", command.get_description()},
          {"usage", usageLine(command)},
          {"arguments", arguments},
          {"options", options},
          {"commands", commands},
          {"footer", ownFooter(command)}};
}

int printHelp(const CLI::App& command) {
  if (outputOptions().json) {
    setJsonResult(helpJson(command));
  } else {
    std::fputs(helpText(command).c_str(), stdout);
  }
  return kSuccess;
}

}  // namespace kestrelctl

namespace kestrelctl {

int runHelp(const CLI::App& root, const std::vector<std::string>& path) {
  const CLI::App* command = &root;
  for (const std::string& name : path) {
    const CLI::App* next = nullptr;
    for (const CLI::App* sub : subcommandsOf(*command)) {
      if (sub->check_name(name)) next = sub;
    }
    if (next == nullptr) return reportUnknownWord(*command, name);
    command = next;
  }
  return printHelp(*command);
}

}  // namespace kestrelctl
