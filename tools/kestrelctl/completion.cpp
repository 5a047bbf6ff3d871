#include "tools/kestrelctl/completion.h"

#include <algorithm>
#include <map>

#include "tools/kestrelctl/commandTree.h"

namespace kestrelctl {
namespace {

using tWords = std::function<std::vector<std::string>()>;

std::map<const CLI::Option*, tWords>& completers() {
  static std::map<const CLI::Option*, tWords> table;
  return table;
}

std::vector<std::string> valuesOf(const CLI::Option* option) {
  const auto found = completers().find(option);
  return found == completers().end() ? std::vector<std::string>{} : found->second();
}

const CLI::App* childNamed(const CLI::App& command, const std::string& name) {
  for (const CLI::App* sub : subcommandsOf(command)) {
    if (sub->get_name() == name) return sub;
  }
  return nullptr;
}

// Where the typed words lead: the command, the positional arguments given
// to it, and the option still waiting for its value.
struct tPosition {
  const CLI::App* command;
  std::vector<std::string> arguments;
  const CLI::Option* awaitingValue = nullptr;
};

tPosition follow(const CLI::App& root, const std::vector<std::string>& typed) {
  tPosition at{&root, {}};
  for (const std::string& word : typed) {
    if (at.awaitingValue != nullptr) {
      at.awaitingValue = nullptr;
    } else if (word.size() > 1 && word[0] == '-') {
      const CLI::Option* option = findOption(*at.command, word);
      if (option != nullptr && takesValue(*option) && word.find('=') == std::string::npos) at.awaitingValue = option;
    } else if (const CLI::App* sub = at.arguments.empty() ? childNamed(*at.command, word) : nullptr) {
      at.command = sub;
    } else {
      at.arguments.push_back(word);
    }
  }
  return at;
}

// 'help' takes a command path: the commands below the ones named so far.
std::vector<std::string> helpWords(const CLI::App& root, const std::vector<std::string>& path) {
  const CLI::App* command = &root;
  for (const std::string& name : path) {
    command = childNamed(*command, name);
    if (command == nullptr) return {};
  }
  std::vector<std::string> words;
  for (const CLI::App* sub : subcommandsOf(*command)) words.push_back(sub->get_name());
  return words;
}

}  // namespace

void completeValuesWith(const CLI::Option* option, std::function<std::vector<std::string>()> words) {
  completers()[option] = std::move(words);
}

void completeFilesFor(const CLI::Option* option) {
  completeValuesWith(option, [] { return std::vector<std::string>{kCompleteFiles}; });
}

std::vector<std::string> completionWords(const CLI::App& root, const std::vector<std::string>& typed) {
  const tPosition at = follow(root, typed);
  if (at.awaitingValue != nullptr) return valuesOf(at.awaitingValue);
  std::vector<std::string> words;
  if (at.command->get_name() == "help" && at.command->get_parent() == &root) {
    words = helpWords(root, at.arguments);
  } else if (at.arguments.empty()) {
    for (const CLI::App* sub : subcommandsOf(*at.command)) words.push_back(sub->get_name());
  }
  const auto arguments = argumentsOf(*at.command);
  if (!arguments.empty() && at.command->get_name() != "help") {
    const std::size_t index = std::min(at.arguments.size(), arguments.size() - 1);
    if (index == at.arguments.size() || isRepeatable(*arguments[index])) {
      for (auto& word : valuesOf(arguments[index])) words.push_back(std::move(word));
    }
  }
  for (const CLI::App* command = at.command; command != nullptr; command = command->get_parent()) {
    for (const CLI::Option* option : optionsOf(*command)) {
      for (const auto& name : option->get_lnames()) {
        // Every command has --help.
        if (std::find(words.begin(), words.end(), "--" + name) == words.end()) words.push_back("--" + name);
      }
    }
  }
  return words;
}

}  // namespace kestrelctl
