// kestrelctl: the controller from the command line, built on the public
// interface of libkestrel.so.1 like any application.
#include <CLI/CLI.hpp>

#include "tools/kestrelctl/attributeCommands.h"
#include "tools/kestrelctl/controllerClient.h"
#include "tools/kestrelctl/infoCommand.h"
#include "tools/kestrelctl/routeRequestCommands.h"
#include "tools/kestrelctl/routingCommandLine.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/watchdogCommandLine.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

// Runs `command` with an open controller session.
template <typename Command>
int withController(Command command) {
  kestrelctl::tControllerClient controller;
  const std::int32_t code = controller.open();
  if (code < 0) {
    kestrelctl::printFailure("open the controller", code);
    return kFailure;
  }
  return command(controller);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kestrelctl: read and set the controller's attributes.\n"
               "Without a controller, run it under the simulated one: kestrel-sim -- kestrelctl info"};
  app.require_subcommand(1);
  bool json = false;
  app.add_flag("--json", json, "print JSON for scripts");

  kestrelctl::tAttributeRequest request;
  auto* info = app.add_subcommand("info", "board identity, processor, memory modules, companion chip");
  auto* get = app.add_subcommand("get", "read one attribute");
  get->add_option("attribute", request.attribute, "attribute name (see 'list') or id such as 0x20000500")
      ->required();
  get->add_option("--index", request.index, "instance, memory module or entry number (0-255)");
  auto* set = app.add_subcommand("set", "write one attribute");
  set->add_option("attribute", request.attribute, "attribute name or id")->required();
  set->add_option("value", request.value, "the value: a number, or a text of at most 255 bytes")->required();
  set->add_option("--index", request.index, "instance or entry number (0-255)");
  auto* list = app.add_subcommand("list", "list the attribute names");
  kestrelctl::tWatchdogCommandLine watchdog(app);
  kestrelctl::tRoutingCommandLine routing(app);
  const kestrelctl::tRouteRequestCommands routeRequests(*routing.route());

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help exits with success; every other parse failure is a usage error.
    return app.exit(error) == 0 ? 0 : kUsage;
  }
  request.json = json;

  if (list->parsed()) return kestrelctl::runList(json);
  if (watchdog.parsed()) return watchdog.run(json);
  if (routeRequests.parsed()) return routeRequests.run(json);
  if (routing.parsed()) return routing.run(json);
  if (info->parsed()) return withController([&](auto& controller) { return kestrelctl::runInfo(controller, json); });
  if (get->parsed() || set->parsed()) {
    const auto attribute = kestrelctl::resolveAttribute(request);
    if (!attribute) return kUsage;
    return withController([&](auto& controller) {
      return get->parsed() ? kestrelctl::runGet(controller, request, *attribute)
                           : kestrelctl::runSet(controller, request, *attribute);
    });
  }
  return kFailure;
}
