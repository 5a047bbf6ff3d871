#include "tools/kestrelctl/terminalCommands.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/routingClient.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

using nlohmann::json;
using quillhost::tTerminalRow;

constexpr std::uint32_t kNoBusLine = 0xFFFFFFFFu;

json rowJson(const tTerminalRow& row) {
  return {{"name", row.name},
          {"id", row.id},
          {"isExternal", row.isExternal},
          {"isOwned", row.isOwned},
          {"visibility", row.visibility},
          {"busType", row.busType ? json(*row.busType) : json()},
          {"busLine", row.busLine == kNoBusLine ? json() : json(row.busLine)},
          {"canonicalName", row.canonicalName}};
}

const char* yesNo(bool value) { return value ? "yes" : "no"; }

std::string nameOf(const std::vector<tTerminalRow>& rows, std::uint32_t id) {
  for (const tTerminalRow& row : rows) {
    if (row.id == id) return row.name;
  }
  return "terminal " + std::to_string(id);
}

int unknownTerminal(const std::vector<tTerminalRow>& rows, const std::string& name) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.name);
  const std::string nearest = nearestName(name, names);
  return printUsageError("no terminal is named '" + name + "'" +
                             (nearest.empty() ? "" : "; did you mean '" + nearest + "'?"),
                         "Names are exact here; 'kestrelctl terminals' lists them.");
}

}  // namespace

void printTerminals(const std::vector<tTerminalRow>& rows, const std::string& devicePath) {
  if (outputOptions().json) {
    json terminals = json::array();
    for (const tTerminalRow& row : rows) terminals.push_back(rowJson(row));
    setJsonResult({{"devicePath", devicePath}, {"terminals", terminals}});
    return;
  }
  tTableText table({"NAME", "ID", "EXTERNAL", "OWNED", "VISIBILITY", "BUS", "LINE", "CANONICAL"});
  for (const tTerminalRow& row : rows) {
    table.addRow({row.name, std::to_string(row.id), yesNo(row.isExternal), yesNo(row.isOwned), row.visibility,
                  row.busType.value_or("-"), row.busLine == kNoBusLine ? "-" : std::to_string(row.busLine),
                  row.canonicalName});
  }
  table.print(outputOptions().headings);
}

int runTerminals() {
  tRoutingClient router;
  if (!router.open()) return kFailure;
  quillhost::tFrameworkStatus status;
  const auto rows = quillhost::readTerminals(router.adaptor(), router.session(), status);
  if (status.isError()) return printRoutingFailure("read the terminals", status);
  printTerminals(rows, router.devicePath());
  return kSuccess;
}

int runTerminalReset(const std::string& name, bool floating) {
  tRoutingClient router;
  if (!router.open()) return kFailure;
  const auto& adaptor = router.adaptor();
  const char* mode = floating ? "floating" : "default";
  quillhost::tFrameworkStatus status;
  const auto rows = quillhost::readTerminals(adaptor, router.session(), status);
  std::uint32_t driver = 0;
  const bool found = quillhost::atTerminal(adaptor, router.session(), name, status, [&](auto* iterator) {
    driver = adaptor.TerminalIterator_calculateResetTerminal(router.session(), iterator, mode, status);
    adaptor.TerminalIterator_resetTerminal(iterator, mode, status);
  });
  if (!found && !status.isError()) return unknownTerminal(rows, name);
  if (status.isError()) return printRoutingFailure("reset terminal " + name, status);
  if (outputOptions().json) {
    setJsonResult({{"terminal", name}, {"mode", mode}, {"drivenBy", {{"id", driver}, {"name", nameOf(rows, driver)}}}});
  } else {
    std::printf("%s reset (%s); now driven by %s\n", printable(name).c_str(), mode,
                printable(nameOf(rows, driver)).c_str());
  }
  return kSuccess;
}

}  // namespace kestrelctl
