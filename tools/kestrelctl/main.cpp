// kestrelctl: the controller from the command line, built on the public
// interface of libkestrel.so.1 like any application.
#include <CLI/CLI.hpp>
#include <kestrel/kestrel.h>

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "tools/kestrelctl/attributeCommands.h"
#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/completion.h"
#include "tools/kestrelctl/controllerClient.h"
#include "tools/kestrelctl/firmwareCommandLine.h"
#include "tools/kestrelctl/helpText.h"
#include "tools/kestrelctl/infoCommand.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/parseErrors.h"
#include "tools/kestrelctl/routingCommandLine.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogCommandLine.h"

namespace {

using namespace kestrelctl;

constexpr const char* kFooter =
    "Examples:\n"
    "  kestrelctl info\n"
    "  kestrelctl --json info\n"
    "  kestrelctl get product-name\n"
    "  kestrelctl get memory-size --index 1\n"
    "  kestrelctl set user-text 'rack 4, slot 2'\n"
    "  kestrelctl list --no-headings\n"
    "  kestrelctl watchdog status\n"
    "  kestrelctl route hold --from PXI_Trig0 --to PXI_Trig3\n\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    the operation failed (the message names the status code and what to do)\n"
    "  2    usage error: a wrong command, option or value; nothing was sent to the controller\n"
    "  130  a wait ended by Ctrl-C (143 by SIGTERM)\n\n"
    "Without a controller, run kestrelctl under the simulated one: kestrel-sim -- kestrelctl info";

// Runs `command` with an open controller session.
template <typename Command>
int withController(Command command) {
  tControllerClient controller;
  const std::int32_t code = controller.open();
  if (code < 0) return printFailure("open the controller", code);
  return command(controller);
}

std::string versionText() {
  return std::to_string(KESTREL_VERSION_MAJOR) + "." + std::to_string(KESTREL_VERSION_MINOR) + "." +
         std::to_string(KESTREL_VERSION_PATCH);
}

int printVersion() {
  if (outputOptions().json) {
    setJsonResult({{"program", "kestrelctl"}, {"version", versionText()}});
  } else {
    std::printf("kestrelctl %s\n", versionText().c_str());
  }
  return kSuccess;
}

std::vector<std::string> attributeNames() {
  std::vector<std::string> names;
  for (const auto& attribute : attributeCatalog()) names.push_back(attribute.name);
  return names;
}

struct tGlobalOptions {
  std::string json;  // "" without --json, else its value ("short" when none is given)
  bool noHeadings = false;
  bool version = false;
};

struct tCommands {
  CLI::App* info;
  CLI::App* get;
  CLI::App* set;
  CLI::App* list;
  CLI::App* help;
  std::vector<std::string> helpPath;
  tAttributeRequest request;
};

void addGlobalOptions(CLI::App& app, tGlobalOptions& options) {
  app.add_flag("--json{short}", options.json,
               "print one JSON document for scripts, also for errors; compact, or indented with --json=pretty")
      ->option_text("[=pretty]");
  app.add_flag("--no-headings", options.noHeadings, "leave out the heading lines of tables");
  app.add_flag("--version", options.version, "print kestrelctl's version");
  app.set_help_flag("-h,--help", "show the help of kestrelctl, or of the command it follows");
}

void addAttributeCommands(CLI::App& app, tCommands& commands) {
  commands.info = app.add_subcommand("info", "board identity, processor, memory modules, companion chip, trigger router");
  commands.get = app.add_subcommand("get", "read one attribute");
  completeValuesWith(commands.get->add_option("attribute", commands.request.attribute,
                                              "attribute name (see 'list') or id such as 0x20000500")
                         ->option_text("NAME|ID")
                         ->required(),
                     attributeNames);
  commands.get->add_option("--index", commands.request.index, "instance, memory module or entry (0-255) of an "
                           "indexed attribute")->option_text("N");
  commands.set = app.add_subcommand("set", "write one attribute");
  completeValuesWith(commands.set->add_option("attribute", commands.request.attribute, "attribute name or id")
                         ->option_text("NAME|ID")
                         ->required(),
                     attributeNames);
  commands.set->add_option("value", commands.request.value, "a number, or a text of at most 255 bytes")
      ->option_text("VALUE")
      ->required();
  commands.set->add_option("--index", commands.request.index, "instance or entry (0-255)")->option_text("N");
  commands.list = app.add_subcommand("list", "list the attributes with their ids, types and access");
}

// Read by runHelpCommand; in the table for the help texts and completion.
void addHelpCommand(CLI::App& app, tCommands& commands) {
  commands.help = app.add_subcommand("help", "show the commands, or the help of one");
  commands.help->add_option("command", commands.helpPath, "the command, e.g. 'watchdog keepalive'")
      ->option_text("COMMAND");
}

int runAttribute(const tCommands& commands) {
  const bool get = commands.get->parsed();
  const auto attribute = resolveAttribute(commands.request, get ? tAccess::read : tAccess::write);
  if (!attribute) return kUsage;
  // A value is checked before any session opens.
  std::optional<std::uint32_t> value;
  if (attribute->type() == tValueType::u32 && !get) {
    value = parseValue(*attribute, commands.request.value);
    if (!value) return kUsage;
  }
  if (attribute->target == tTarget::watchdog) {
    tWatchdogRequest request;
    request.attribute = attribute;
    request.attributeText = commands.request.attribute;
    if (value) request.value = *value;
    return runWatchdogCommand(get ? tWatchdogCommand::get : tWatchdogCommand::set, request);
  }
  return withController([&](auto& controller) {
    return get ? runGet(controller, commands.request, *attribute) : runSet(controller, commands.request, *attribute);
  });
}

int printCompletions(const CLI::App& app, const std::vector<std::string>& typed) {
  for (const auto& word : completionWords(app, typed)) std::printf("%s\n", word.c_str());
  return kSuccess;
}

struct tCommandGroups {
  tWatchdogCommandLine& watchdog;
  tRoutingCommandLine& routing;
  tFirmwareCommandLine& firmware;
};

int run(const CLI::App& app, const tCommands& commands, const tCommandGroups& groups) {
  if (checkCommandChosen(app) != kSuccess) return kUsage;
  if (commands.list->parsed()) return runList();
  if (groups.watchdog.parsed()) return groups.watchdog.run();
  if (groups.routing.parsed()) return groups.routing.run();
  if (groups.firmware.parsed()) return groups.firmware.run();
  if (commands.info->parsed()) return withController([](auto& controller) { return runInfo(controller); });
  return runAttribute(commands);
}

// --json is known before the command line is parsed, so that even a
// command line that does not parse is answered with a JSON document.
void scanForJson(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word == "--json" || word.starts_with("--json=")) outputOptions().json = true;
    if (word == "--json=pretty") outputOptions().layout = tJsonLayout::pretty;
  }
}

bool isGlobalFlag(const std::string& word) {
  return word == "--json" || word.starts_with("--json=") || word == "--no-headings" || word == "--version" ||
         word == "-h" || word == "--help";
}

// 'help [COMMAND...]' is read here, not by the parser, which would take the
// command names for commands to run. After "--complete --" the words are
// those typed so far on a line being completed.
std::optional<int> runHelpCommand(const CLI::App& app, const CLI::App& help, const std::vector<std::string>& words) {
  std::size_t at = 0;
  while (at < words.size() && isGlobalFlag(words[at])) ++at;
  if (at == words.size() || words[at] != "help") return std::nullopt;
  std::vector<std::string> path;
  bool complete = false;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--complete") {
      complete = true;
    } else if (word == "--" && complete) {
      path.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
      break;
    } else if (word == "-h" || word == "--help") {
      return printHelp(help);
    } else if (word.starts_with("-") && word != "-") {
      if (!isGlobalFlag(word)) return reportUnknownWord(help, word);
    } else {
      path.push_back(word);
    }
  }
  if (complete) return printCompletions(app, path);
  return runHelp(app, path);
}

int applyGlobalOptions(const tGlobalOptions& options) {
  outputOptions().headings = !options.noHeadings;
  if (options.json.empty() || options.json == "short" || options.json == "pretty") return kSuccess;
  return printUsageError("--json=" + options.json + " is not a layout: give --json (compact) or --json=pretty");
}

int runKestrelctl(int argc, char** argv) {
  scanForJson(argc, argv);
  CLI::App app{"kestrelctl: read and set the controller's attributes, drive its watchdog timer, trigger router and "
               "firmware updates.",
               "kestrelctl"};
  // kestrelctl's own options may stand anywhere on the command line.
  app.fallthrough();
  tGlobalOptions options;
  addGlobalOptions(app, options);
  tCommands commands;
  addAttributeCommands(app, commands);
  tWatchdogCommandLine watchdog(app);
  tRoutingCommandLine routing(app);
  tFirmwareCommandLine firmware(app);
  addHelpCommand(app, commands);
  app.footer(kFooter);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (const auto helped = runHelpCommand(app, *commands.help, arguments)) return *helped;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return printHelp(deepestCommand(app));
  } catch (const CLI::ParseError& error) {
    return reportParseError(app, arguments, error);
  }
  if (const int status = applyGlobalOptions(options); status != kSuccess) return status;
  if (options.version) return printVersion();
  return run(app, commands, {watchdog, routing, firmware});
}

}  // namespace

int main(int argc, char** argv) {
  int status = kFailure;
  // The last resort: whatever goes wrong ends in one message and status 1,
  // never in an abort.
  try {
    status = runKestrelctl(argc, argv);
  } catch (const std::bad_alloc&) {
    status = printProblem("", "out of memory", "Free some memory, or raise the limit on it, and try again.");
  } catch (const std::exception& error) {
    status = printProblem("", std::string("internal error: ") + error.what(), "Please report it with the command line.");
  } catch (...) {
    status = printProblem("", "internal error", "Please report it with the command line.");
  }
  return finish(status);
}
