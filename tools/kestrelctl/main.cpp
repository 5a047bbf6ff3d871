// kestrelctl: the controller from the command line, built on the public
// interface of libkestrel.so.1 like any application.
#include <CLI/CLI.hpp>
#include <kestrel/kestrel.h>

#include <cstdio>
#include <string>

#include "tools/kestrelctl/attributeCommands.h"
#include "tools/kestrelctl/controllerClient.h"
#include "tools/kestrelctl/firmwareCommandLine.h"
#include "tools/kestrelctl/infoCommand.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routeRequestCommands.h"
#include "tools/kestrelctl/routingCommandLine.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogCommandLine.h"

namespace {

using namespace kestrelctl;

constexpr const char* kExitStatus =
    "Exit status:\n"
    "  0  success\n"
    "  1  the operation failed (the message names the status code and what to do)\n"
    "  2  usage error: a wrong command, option or value; nothing was sent to the controller\n\n"
    "Without a controller, run kestrelctl under the simulated one: kestrel-sim -- kestrelctl info";

constexpr const char* kExamples =
    "Examples:\n"
    "  kestrelctl info\n"
    "  kestrelctl --json info\n"
    "  kestrelctl get product-name\n"
    "  kestrelctl get memory-size --index 1\n"
    "  kestrelctl set user-text 'rack 4, slot 2'\n"
    "  kestrelctl list --no-headings\n"
    "  kestrelctl watchdog keepalive --interval 500 --for 10s\n\n";

// Runs `command` with an open controller session.
template <typename Command>
int withController(Command command) {
  tControllerClient controller;
  const std::int32_t code = controller.open();
  if (code < 0) return printFailure("open the controller", code);
  return command(controller);
}

std::string versionText() {
  return "kestrelctl " + std::to_string(KESTREL_VERSION_MAJOR) + "." + std::to_string(KESTREL_VERSION_MINOR) + "." +
         std::to_string(KESTREL_VERSION_PATCH);
}

// `kestrelctl help [COMMAND...]`: the help of the command named.
int runHelp(CLI::App& app, const std::vector<std::string>& path) {
  CLI::App* target = &app;
  for (const std::string& name : path) {
    CLI::App* next = nullptr;
    try {
      next = target->get_subcommand(name);
    } catch (const CLI::OptionNotFound&) {
    }
    if (next == nullptr) return printUsageError("no command '" + name + "'; 'kestrelctl help' lists the commands");
    target = next;
  }
  std::printf("%s", target->help().c_str());
  return kSuccess;
}

struct tCommands {
  CLI::App* info;
  CLI::App* get;
  CLI::App* set;
  CLI::App* list;
  CLI::App* help;
  std::vector<std::string> helpPath;
  tAttributeRequest request;
};

void addCommands(CLI::App& app, tCommands& commands) {
  commands.info = app.add_subcommand("info", "board identity, processor, memory modules, companion chip");
  commands.get = app.add_subcommand("get", "read one attribute");
  commands.get->add_option("attribute", commands.request.attribute,
                           "attribute name (see 'list') or id such as 0x20000500")->required();
  commands.get->add_option("--index", commands.request.index, "instance, memory module or entry (0-255) of an "
                           "indexed attribute")->option_text("N");
  commands.set = app.add_subcommand("set", "write one attribute");
  commands.set->add_option("attribute", commands.request.attribute, "attribute name or id")->required();
  commands.set->add_option("value", commands.request.value, "a number, or a text of at most 255 bytes")->required();
  commands.set->add_option("--index", commands.request.index, "instance or entry (0-255)")->option_text("N");
  commands.list = app.add_subcommand("list", "list the attributes with their ids, types and access");
  commands.help = app.add_subcommand("help", "show the help of kestrelctl or of a command");
  commands.help->add_option("command", commands.helpPath, "the command, e.g. 'watchdog keepalive'");
}

int runAttribute(const tCommands& commands) {
  const bool get = commands.get->parsed();
  const auto attribute = resolveAttribute(commands.request, get ? tAccess::read : tAccess::write);
  if (!attribute) return kUsage;
  if (attribute->type() == tValueType::u32 && !get && !parseValue(commands.request)) return kUsage;
  if (attribute->target == tTarget::watchdog) {
    tWatchdogRequest request;
    request.attribute = attribute;
    request.attributeText = commands.request.attribute;
    if (!get) request.value = *parseValue(commands.request);
    return runWatchdogCommand(get ? tWatchdogCommand::get : tWatchdogCommand::set, request);
  }
  return withController([&](auto& controller) {
    return get ? runGet(controller, commands.request, *attribute) : runSet(controller, commands.request, *attribute);
  });
}

struct tCommandGroups {
  tWatchdogCommandLine& watchdog;
  tRoutingCommandLine& routing;
  const tRouteRequestCommands& routeRequests;
  tFirmwareCommandLine& firmware;
};

int run(CLI::App& app, tCommands& commands, const tCommandGroups& groups) {
  if (commands.help->parsed()) return runHelp(app, commands.helpPath);
  if (commands.list->parsed()) return runList();
  if (groups.watchdog.parsed()) return groups.watchdog.run();
  if (groups.routeRequests.parsed()) return groups.routeRequests.run(outputOptions().json);
  if (groups.routing.parsed()) return groups.routing.run(outputOptions().json);
  if (groups.firmware.parsed()) return groups.firmware.run(outputOptions().json);
  if (commands.info->parsed()) return withController([](auto& controller) { return runInfo(controller); });
  if (commands.get->parsed() || commands.set->parsed()) return runAttribute(commands);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kestrelctl: read and set the controller's attributes and drive its watchdog timer."};
  app.footer(std::string(kExamples) + kExitStatus);
  app.set_version_flag("--version", versionText());
  app.require_subcommand(1);
  // kestrelctl's own options may stand anywhere on the command line.
  app.fallthrough();
  app.add_flag("--json", outputOptions().json, "print JSON for scripts, also for errors");
  bool noHeadings = false;
  app.add_flag("--no-headings", noHeadings, "leave out the heading lines of tables");
  tCommands commands;
  addCommands(app, commands);
  tWatchdogCommandLine watchdog(app);
  tRoutingCommandLine routing(app);
  const tRouteRequestCommands routeRequests(*routing.route());
  tFirmwareCommandLine firmware(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return finish(app.exit(done));
  } catch (const CLI::ParseError& error) {
    printUsageError(std::string(error.what()) + "; 'kestrelctl --help' shows the usage");
    return finish(kUsage);
  }
  outputOptions().headings = !noHeadings;
  return finish(run(app, commands, {watchdog, routing, routeRequests, firmware}));
}
