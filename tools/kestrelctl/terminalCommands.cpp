#include "tools/kestrelctl/terminalCommands.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "tools/kestrelctl/routingClient.h"
#include "tools/quillhost/terminalTable.h"

namespace kestrelctl {
namespace {

using nlohmann::json;
using quillhost::tTerminalRow;

constexpr int kFailure = 1;
constexpr int kUsage = 2;
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

void printTable(const std::vector<tTerminalRow>& rows) {
  std::printf("%-12s %3s  %-8s  %-5s  %-10s  %-8s  %4s  %s\n", "NAME", "ID", "EXTERNAL", "OWNED", "VISIBILITY", "BUS",
              "LINE", "CANONICAL");
  for (const tTerminalRow& row : rows) {
    const std::string line = row.busLine == kNoBusLine ? "-" : std::to_string(row.busLine);
    std::printf("%-12s %3u  %-8s  %-5s  %-10s  %-8s  %4s  %s\n", row.name.c_str(), row.id, yesNo(row.isExternal),
                yesNo(row.isOwned), row.visibility.c_str(), row.busType.value_or("-").c_str(), line.c_str(),
                row.canonicalName.c_str());
  }
}

std::string nameOf(const std::vector<tTerminalRow>& rows, std::uint32_t id) {
  for (const tTerminalRow& row : rows) {
    if (row.id == id) return row.name;
  }
  return "terminal " + std::to_string(id);
}

}  // namespace

int runTerminals(bool json) {
  tRoutingClient router;
  if (!router.open(json)) return kFailure;
  quillhost::tFrameworkStatus status;
  const auto rows = quillhost::readTerminals(router.adaptor(), router.session(), status);
  if (status.isError()) {
    printRoutingFailure("read the terminals", status, json);
    return kFailure;
  }
  if (!json) {
    printTable(rows);
    return 0;
  }
  nlohmann::json terminals = nlohmann::json::array();
  for (const tTerminalRow& row : rows) terminals.push_back(rowJson(row));
  std::printf("%s\n", nlohmann::json{{"devicePath", router.devicePath()}, {"terminals", terminals}}.dump().c_str());
  return 0;
}

int runTerminalReset(const std::string& name, bool floating, bool json) {
  tRoutingClient router;
  if (!router.open(json)) return kFailure;
  const auto& adaptor = router.adaptor();
  const char* mode = floating ? "floating" : "default";
  quillhost::tFrameworkStatus status;
  const auto rows = quillhost::readTerminals(adaptor, router.session(), status);
  std::uint32_t driver = 0;
  const bool found = quillhost::atTerminal(adaptor, router.session(), name, status, [&](auto* iterator) {
    driver = adaptor.TerminalIterator_calculateResetTerminal(router.session(), iterator, mode, status);
    adaptor.TerminalIterator_resetTerminal(iterator, mode, status);
  });
  if (!found && !status.isError()) {
    std::fprintf(stderr, "kestrelctl: no terminal is named '%s' (names are exact); 'kestrelctl terminals' lists them\n",
                 name.c_str());
    return kUsage;
  }
  if (status.isError()) {
    printRoutingFailure("reset terminal " + name, status, json);
    return kFailure;
  }
  if (json) {
    std::printf("%s\n", nlohmann::json{{"terminal", name},
                                       {"mode", mode},
                                       {"drivenBy", {{"id", driver}, {"name", nameOf(rows, driver)}}}}
                            .dump()
                            .c_str());
  } else {
    std::printf("%s reset (%s); now driven by %s\n", name.c_str(), mode, nameOf(rows, driver).c_str());
  }
  return 0;
}

}  // namespace kestrelctl
