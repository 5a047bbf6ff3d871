#include "tools/kestrelctl/commandTree.h"

#include <algorithm>
#include <cctype>

namespace kestrelctl {
namespace {

bool visible(const CLI::Option* option) { return !option->get_group().empty(); }

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// Edits that turn one short word into the other: a letter added, left out,
// changed, or two neighbours swapped (the commonest slip).
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

std::string optionUsage(const CLI::Option& option) {
  std::string text = option.get_lnames().empty() ? "-" + option.get_snames().front() : "--" + option.get_lnames().front();
  if (takesValue(option)) text += " " + valueName(option);
  else text += option.get_option_text();
  if (isRepeatable(option)) text += " ...";
  return option.get_required() ? text : "[" + text + "]";
}

}  // namespace

std::string commandPath(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* at = &app; at != nullptr; at = at->get_parent()) names.push_back(at->get_name());
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) path += (path.empty() ? "" : " ") + *name;
  return path;
}

const CLI::App& rootOf(const CLI::App& app) {
  const CLI::App* root = &app;
  while (root->get_parent() != nullptr) root = root->get_parent();
  return *root;
}

std::string helpCommandFor(const CLI::App& app) {
  const std::string rootPath = commandPath(rootOf(app));
  return rootPath + (rootPath.empty() ? "help" : " help") + commandPath(app).substr(rootPath.size());
}

std::vector<const CLI::App*> subcommandsOf(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

std::vector<CLI::App*> subcommandsOf(CLI::App& app) {
  return app.get_subcommands([](CLI::App* sub) { return !sub->get_group().empty(); });
}

std::vector<const CLI::Option*> optionsOf(const CLI::App& app) {
  auto options = app.get_options([](const CLI::Option* option) { return visible(option) && option->nonpositional(); });
  const CLI::Option* help = app.get_help_ptr();
  std::stable_partition(options.begin(), options.end(), [help](const CLI::Option* option) { return option != help; });
  return options;
}

std::vector<const CLI::Option*> argumentsOf(const CLI::App& app) {
  return app.get_options([](const CLI::Option* option) { return visible(option) && !option->nonpositional(); });
}

std::string optionNames(const CLI::Option& option) {
  std::string names;
  for (const auto& name : option.get_snames()) names += (names.empty() ? "-" : ", -") + name;
  for (const auto& name : option.get_lnames()) names += (names.empty() ? "--" : ", --") + name;
  return names;
}

std::string valueName(const CLI::Option& option) {
  if (!option.get_option_text().empty()) return option.get_option_text();
  return upper(option.nonpositional() ? "value" : option.get_name(true, false));
}

bool takesValue(const CLI::Option& option) { return option.get_type_size_max() > 0 && option.get_expected_max() > 0; }

bool isRepeatable(const CLI::Option& option) { return option.get_expected_max() > 1; }

std::string usageLine(const CLI::App& app) {
  std::string line = commandPath(app);
  if (app.get_parent() == nullptr) {
    for (const CLI::Option* option : optionsOf(app)) {
      if (option != app.get_help_ptr()) line += " " + optionUsage(*option);
    }
    return line + (line.empty() ? "COMMAND ..." : " COMMAND ...");
  }
  if (!subcommandsOf(app).empty()) line += app.get_require_subcommand_min() > 0 ? " COMMAND" : " [COMMAND]";
  for (const CLI::Option* argument : argumentsOf(app)) {
    std::string text = valueName(*argument) + (isRepeatable(*argument) ? " ..." : "");
    line += " " + (argument->get_required() ? text : "[" + text + "]");
  }
  for (const CLI::Option* option : optionsOf(app)) {
    if (option != app.get_help_ptr()) line += " " + optionUsage(*option);
  }
  return line;
}

const CLI::App& deepestCommand(const CLI::App& root) {
  const CLI::App* at = &root;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().back();
  return *at;
}

const CLI::Option* findOption(const CLI::App& app, std::string_view name) {
  const std::string bare(name.substr(0, name.find('=')));
  for (const CLI::App* at = &app; at != nullptr; at = at->get_parent()) {
    for (const CLI::Option* option : at->get_options({})) {
      if (option->nonpositional() && option->check_name(bare)) return option;
    }
  }
  return nullptr;
}

std::string nearestName(std::string_view word, const std::vector<std::string>& candidates) {
  std::string best;
  if (word.empty()) return best;
  std::size_t bestDistance = std::max<std::size_t>(word.size() / 3, 1) + 1;
  for (const auto& candidate : candidates) {
    const std::size_t distance = editDistance(word, candidate);
    const bool prefix = word.size() >= 3 && candidate.starts_with(word);
    if (prefix || distance < bestDistance) {
      best = candidate;
      bestDistance = prefix ? 0 : distance;
    }
  }
  return best;
}

}  // namespace kestrelctl
