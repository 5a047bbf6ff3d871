// kestrelctl's trigger-router commands under kestrel-sim: terminals, a
// route held while other programs look at it, route steps in one shell
// session, and steps refused with a reason before they reach the driver.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kestrelctlRun.h"

namespace {

using kestrelctlTest::contains;
using kestrelctlTest::kestrelctl;
using kestrelctlTest::runShell;
using kestrelctlTest::tRun;
using nlohmann::json;

const std::string kRoutesProfile = std::string(KESTREL_SIM_PROFILES) + "/routeDemotions.json";

std::vector<json> jsonLines(const std::string& text) {
  std::vector<json> documents;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) documents.push_back(json::parse(line));
  return documents;
}

// A bash script (job control on, so that a program in the background gets
// Ctrl-C) in one kestrel-sim run; $K is kestrelctl, $D a scratch folder.
tRun script(const std::string& body) {
  const std::string text = "set -m; K=" + std::string(KESTRELCTL) + "; D=$(mktemp -d); trap 'rm -rf \"$D\"' EXIT\n" + body;
  return runShell(kestrelctlTest::underSim() + " bash -c \"$(cat <<'EOF'\n" + text + "\nEOF\n)\"");
}

TEST(RoutingCommands, TerminalsListsTheElevenTerminals) {
  const tRun table = kestrelctl("terminals");
  EXPECT_EQ(table.exitCode, 0) << table.errors;
  EXPECT_TRUE(contains(table.output, "\nPXI_Trig5    9   yes       no     public      PXI_Trig  5     PXI_Trig5\n")) << table.output;
  EXPECT_EQ(kestrelctl("terminals --no-headings").output.rfind("FLOAT", 0), 0u);
  const tRun listed = kestrelctl("terminals --json");
  ASSERT_EQ(listed.exitCode, 0) << listed.errors;
  const json document = json::parse(listed.output);
  ASSERT_EQ(document["terminals"].size(), 11u);
  EXPECT_EQ(document["terminals"][1],
            (json{{"name", "TRIG_SMB"}, {"id", 2}, {"isExternal", false}, {"isOwned", true}, {"visibility", "public"},
                  {"busType", nullptr}, {"busLine", nullptr}, {"canonicalName", "TRIG_SMB"}}));
}

TEST(RoutingCommands, AnUnknownTopographyIsReportedAsJsonToo) {
  const std::string profile = std::string(KESTREL_TEST_PROFILES) + "/unknownTopography.json";
  const tRun listed = kestrelctl("terminals --json", profile);
  EXPECT_EQ(listed.exitCode, 1);
  const json error = json::parse(listed.output)["error"];
  EXPECT_EQ(error["code"], -50003);
  EXPECT_EQ(error["report"]["tarn_debug"], "Topography not found: pxiContTriggerRouterV2");
  EXPECT_TRUE(contains(error["hint"], "topography this library does not know"));
  const tRun table = kestrelctl("terminals", profile);
  EXPECT_EQ(table.exitCode, 1);
  EXPECT_EQ(table.errors.rfind("kestrelctl: open a routing session on ", 0), 0u) << table.errors;
}

TEST(RoutingCommands, UnknownTerminalsAreUsageErrorsWithTheNearestName) {
  EXPECT_EQ(kestrelctl("terminals reset PXI_Trig3 --floating").output, "PXI_Trig3 reset (floating); now driven by FLOAT\n");
  EXPECT_EQ(kestrelctl("--json terminals reset TRIG_SMB").output,
            "{\"drivenBy\":{\"id\":2,\"name\":\"TRIG_SMB\"},\"mode\":\"default\",\"terminal\":\"TRIG_SMB\"}\n");
  const tRun reset = kestrelctl("terminals reset pxi_trig3");
  EXPECT_EQ(reset.exitCode, 2);
  EXPECT_TRUE(contains(reset.errors, "kestrelctl: no terminal is named 'pxi_trig3'")) << reset.errors;
  const tRun calculate = kestrelctl("route calculate --from PXI_Trig0 --to PXI_Trg3");
  EXPECT_EQ(calculate.exitCode, 2);
  EXPECT_TRUE(contains(calculate.errors, "no terminal is named 'PXI_Trg3'; did you mean 'PXI_Trig3'?")) << calculate.errors;
  EXPECT_FALSE(contains(calculate.errors, "null pointer")) << calculate.errors;
}

// A held route is the driver's for as long as the command runs: another
// program sees its path and cannot reserve its line; after Ctrl-C the
// route is gone and the line free.
TEST(RoutingCommands, AHeldRouteIsSeenByOtherProgramsUntilCtrlC) {
  const tRun run = script(R"SH(
mkfifo "$D/held"
$K --json route hold --from PXI_Trig0 --to PXI_Trig3 >"$D/held" &
holder=$!
exec 3<"$D/held"
read -r held <&3
echo "held $held"
ticket=$(echo "$held" | sed 's/.*"ticket":\([0-9]*\).*/\1/')
echo "path $($K --json route path "$ticket")"
$K --json route hold --from TRIG_SMB --to PXI_Trig3 >/dev/null 2>&1; echo "second hold $?"
kill -INT $holder; wait $holder; echo "holder $?"
read -r released <&3
echo "released $released"
$K route path "$ticket" >/dev/null 2>&1; echo "path after $?"
printf 'calculate --from TRIG_SMB --to PXI_Trig3\nreserve last\n' | $K route shell >/dev/null; echo "reserve after $?"
)SH");
  ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
  std::istringstream lines(run.output);
  std::string line;
  std::vector<std::string> seen;
  while (std::getline(lines, line)) seen.push_back(line);
  ASSERT_EQ(seen.size(), 7u) << run.output << run.errors;
  const json held = json::parse(seen[0].substr(5));
  EXPECT_EQ(held["state"], "programmed");
  EXPECT_EQ(held["path"], (json{"PXI_Trig0", "PXI_Trig3"}));
  EXPECT_EQ(json::parse(seen[1].substr(5))["path"], held["path"]);
  EXPECT_EQ(seen[2], "second hold 1") << "the held line is reserved";
  EXPECT_EQ(seen[3], "holder 0");
  EXPECT_EQ(json::parse(seen[4].substr(9)), (json{{"ticket", held["ticket"]}, {"state", "released"}, {"signal", "SIGINT"}}));
  EXPECT_EQ(seen[5], "path after 2") << "no route has the ticket any more";
  EXPECT_EQ(seen[6], "reserve after 0");
}

TEST(RoutingCommands, AShellSessionStepsItsOwnRoutes) {
  const std::string steps =
      "calculate --from PXI_Trig0 --to PXI_Trig3\n"
      "reserve last\n"
      "unreserve last   # fine: it is reserved\n"
      "reserve last\n"
      "program last\n"
      "unreserve last\n"  // refused: programmed
      "\n"
      "routes\n"
      "path 99\n"  // no such route
      "bogus\n"
      "unprogram last\n"
      "destroy last\n";
  const tRun text = runShell("printf '" + steps + "' | " + kestrelctlTest::underSim() + " " + KESTRELCTL + " route shell");
  EXPECT_EQ(text.exitCode, 2) << "the last failing command was a usage error";
  EXPECT_TRUE(contains(text.output, "program route 1: done, the route is programmed\n")) << text.output;
  EXPECT_TRUE(contains(text.output, "\n1       programmed  here\n")) << text.output;
  EXPECT_TRUE(contains(text.output, "destroy route 1: done, the route is destroyed\n")) << text.output;
  EXPECT_TRUE(contains(text.errors, "kestrelctl: line 6: cannot unreserve route 1: it is programmed, and unreserve needs "
                                 "a reserved route")) << text.errors;
  EXPECT_TRUE(contains(text.errors, "kestrelctl: line 9: no route has ticket 99")) << text.errors;
  EXPECT_TRUE(contains(text.errors, "kestrelctl: line 10: 'bogus' is not a command of the shell")) << text.errors;

  const tRun json = runShell("printf '" + steps + "' | " + kestrelctlTest::underSim() + " " + KESTRELCTL +
                             " --json route shell 2>/dev/null");
  const auto answers = jsonLines(json.output);
  ASSERT_EQ(answers.size(), 12u) << json.output;  // one per command, and the end
  EXPECT_EQ(answers[4], (nlohmann::json{{"line", 5}, {"ticket", 1}, {"step", "program"}, {"state", "programmed"}}));
  EXPECT_EQ(answers[5]["line"], 6);
  EXPECT_EQ(answers[5]["error"]["name"], "usage");
  EXPECT_EQ(answers[6]["routes"][0]["state"], "programmed");
  EXPECT_EQ(answers.back(), (nlohmann::json{{"event", "end"}, {"released", nlohmann::json::array()}, {"signal", nullptr}}));
}

TEST(RoutingCommands, AShellReleasesItsRoutesWhenItsInputEnds) {
  const tRun run = script(R"SH(
printf 'calculate --from PXI_Trig0 --to PXI_Trig3\nreserve last\nprogram last\n' >"$D/steps"
$K route shell "$D/steps"; echo "shell $?"
$K route path 1 >/dev/null 2>&1; echo "path $?"
$K route shell "$D"; echo "folder $?"
)SH");
  EXPECT_TRUE(contains(run.output, "route 1 released\nshell 0\npath 2\n")) << run.output << run.errors;
  EXPECT_TRUE(contains(run.output, "folder 1")) << run.output;
  EXPECT_TRUE(contains(run.errors, "it is a directory")) << run.errors;
}

// On their own, steps act on routes of other programs (here: a profile's):
// what the driver answers is reported; what nothing tells is refused.
TEST(RoutingCommands, RouteStepsOnOtherProgramsRoutes) {
  EXPECT_EQ(kestrelctl("route reserve 3", kRoutesProfile).output, "reserve route 3: done, the route is reserved\n");
  EXPECT_EQ(kestrelctl("route program 2", kRoutesProfile).exitCode, 0);
  EXPECT_EQ(kestrelctl("route destroy 1", kRoutesProfile).output, "destroy route 1: done, the route is destroyed\n");
  const tRun refused = kestrelctl("--json route program 3", kRoutesProfile);  // not reserved yet
  EXPECT_EQ(refused.exitCode, 1);
  const json error = json::parse(refused.output)["error"];
  EXPECT_EQ(error["code"], -52005);
  EXPECT_EQ(error["report"]["file"], "tInterfaceProxy_routing");
  EXPECT_EQ(error["meaning"], "the driver refused the step: the route is not in a state that allows it");
  for (const char* step : {"unprogram 1", "unreserve 2"}) {
    const tRun unknown = kestrelctl(std::string("route ") + step, kRoutesProfile);
    EXPECT_EQ(unknown.exitCode, 2) << step;
    EXPECT_TRUE(contains(unknown.errors, "kestrelctl does not know whether route")) << unknown.errors;
  }
  for (const char* step : {"destroy 99", "unprogram 1", "reserve 1"}) {
    const tRun missing = kestrelctl(std::string("route ") + step);
    EXPECT_EQ(missing.exitCode, 2) << step;
    EXPECT_TRUE(contains(missing.errors, "no route has ticket")) << missing.errors;
    EXPECT_TRUE(contains(missing.errors, "lives as long as the program that calculated it")) << missing.errors;
  }
  EXPECT_EQ(kestrelctl("route reserve three").exitCode, 2);
  EXPECT_EQ(kestrelctl("route").exitCode, 2);
}

TEST(RoutingCommands, ReservationConflictsNameTheirHolders) {
  const std::string profile = std::string(KESTREL_TEST_PROFILES) + "/conflicts.json";
  const tRun conflict = kestrelctl("--json route reserve 3", profile);
  EXPECT_EQ(conflict.exitCode, 1);
  const json document = json::parse(conflict.output);
  EXPECT_EQ(document["error"]["code"], -89137);
  EXPECT_EQ(document["error"]["conflicts"].size(), 3u);
}

TEST(RoutingCommands, WatchPrintsDemotionsUntilStopped) {
  const tRun counted = kestrelctl("--json route watch --count 2", kRoutesProfile);
  EXPECT_EQ(counted.exitCode, 0) << counted.errors;
  const auto demotions = jsonLines(counted.output);
  ASSERT_EQ(demotions.size(), 2u) << counted.output;
  EXPECT_EQ(demotions[0]["event"], 101);

  // A termination request ends a watch that sees nothing, with success.
  const tRun stopped = script(R"SH(
mkfifo "$D/out"
$K route watch >"$D/out" &
watcher=$!
exec 3<"$D/out"
read -r first <&3; echo "$first"
kill -TERM $watcher; wait $watcher; echo "watch $?"
)SH");
  EXPECT_TRUE(contains(stopped.output, "watching route demotions")) << stopped.output;
  EXPECT_TRUE(contains(stopped.output, "watch 0")) << stopped.output << stopped.errors;
}

}  // namespace
