// kestrelctl's help, man page and bash completion against its command
// table (the JSON help is the table): every command and option the program
// takes is in the man page and offered by the completion, and the program's
// own words, never the parser's, reach the user.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "kestrelctlRun.h"

namespace {

using kestrelctlTest::contains;
using kestrelctlTest::runShell;
using kestrelctlTest::tRun;

tRun ctl(const std::string& arguments) { return runShell(std::string(KESTRELCTL) + " " + arguments); }

nlohmann::json commandTable() { return nlohmann::json::parse(ctl("--json help").output); }

// Every command of the table with its path below kestrelctl ("watchdog start").
void forEachCommand(const std::function<void(const std::string&, const nlohmann::json&)>& visit) {
  const std::function<void(const nlohmann::json&)> walk = [&](const nlohmann::json& command) {
    const std::string path = command["command"].get<std::string>();
    visit(path == "kestrelctl" ? "" : path.substr(11), command);
    for (const auto& sub : command["commands"]) walk(sub);
  };
  walk(commandTable());
}

std::string slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The words bash completion offers after `typed` (the word being completed empty).
std::vector<std::string> completed(const std::string& typed) {
  const std::string script = "source '" + std::string(KESTREL_COMPLETION) + "'; COMP_WORDS=('" + KESTRELCTL + "' " +
                             typed + " ''); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kestrelctl; "
                             "printf '%s\\n' \"${COMPREPLY[@]}\"";
  const tRun run = runShell("bash -c \"$(cat <<'EOF'\n" + script + "\nEOF\n)\"");
  std::vector<std::string> words;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) words.push_back(line);
  return words;
}

bool offered(const std::vector<std::string>& words, const std::string& word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

TEST(KestrelctlHelp, TheManPageHasEveryCommandAndOption) {
  const std::string page = slurp(KESTREL_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  forEachCommand([&](const std::string& path, const nlohmann::json& command) {
    if (!path.empty()) {
      const std::string name = path.substr(path.rfind(' ') + 1);
      // A command with commands of its own is named with them ("*watchdog status*").
      EXPECT_TRUE(contains(page, "*" + name + "*") || contains(page, "*" + path + "*") ||
                  (!command["commands"].empty() && contains(page, "*" + path + " ")))
          << path;
    }
    for (const auto& option : command["options"]) {
      const std::string name = option["names"].back();
      EXPECT_TRUE(contains(page, "*" + name + "*")) << path << " " << name;
    }
  });
}

// quillhost has no command table: its --help lists the options, and its
// man page names each one.
TEST(KestrelctlHelp, QuillhostsManPageHasEveryOption) {
  const std::string page = slurp(QUILLHOST_MAN_PAGE);
  ASSERT_FALSE(page.empty());
  const tRun help = runShell(std::string(QUILLHOST) + " --help");
  ASSERT_EQ(help.exitCode, 0);
  std::istringstream lines(help.output);
  int options = 0;
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find("--");
    if (line.rfind("  -", 0) != 0 || at == std::string::npos) continue;
    const std::string option = line.substr(at, line.find_first_of(" ,", at) - at);
    EXPECT_TRUE(contains(page, "*" + option + "*")) << option;
    ++options;
  }
  EXPECT_EQ(options, 4) << help.output;
}

TEST(KestrelctlHelp, TheCompletionOffersEveryCommandAndOption) {
  forEachCommand([&](const std::string& path, const nlohmann::json& command) {
    const auto words = completed(path);
    for (const auto& sub : command["commands"]) {
      const std::string full = sub["command"];
      EXPECT_TRUE(offered(words, full.substr(full.rfind(' ') + 1))) << "after '" << path << "': " << full;
    }
    for (const auto& option : command["options"]) {
      EXPECT_TRUE(offered(words, option["names"].back().get<std::string>())) << path << " " << option["names"];
    }
  });
  // Values where the program knows them, never a table heading.
  EXPECT_TRUE(offered(completed("get"), "product-name"));
  EXPECT_FALSE(offered(completed("get"), "NAME"));
  EXPECT_TRUE(offered(completed("watchdog set"), "expiry-action"));
  EXPECT_FALSE(offered(completed("watchdog set"), "expiryAction"));
  EXPECT_TRUE(offered(completed("firmware pack --target"), "MARTEN"));
  EXPECT_TRUE(offered(completed("help route"), "hold"));
}

TEST(KestrelctlHelp, HelpListsTheCommandsWithTheProgramsName) {
  const tRun help = ctl("help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.rfind("Usage: kestrelctl ", 0), 0u) << help.output;
  for (const char* command : {"info", "watchdog", "terminals", "route", "firmware", "help"}) {
    EXPECT_TRUE(contains(help.output, "\n  " + std::string(command) + " ")) << command;
  }
  EXPECT_EQ(ctl("--help").output, help.output);
  for (const char* command : {"help watchdog keepalive", "watchdog keepalive --help", "route shell -h"}) {
    const tRun sub = ctl(command);
    EXPECT_EQ(sub.exitCode, 0) << command;
    EXPECT_EQ(sub.output.rfind("Usage: kestrelctl ", 0), 0u) << command << "\n" << sub.output;
  }
  EXPECT_TRUE(contains(ctl("help route").output, "lives as long as the program that calculated it"));
}

TEST(KestrelctlHelp, MistakesAreToldInTheProgramsWords) {
  struct tMistake {
    const char* arguments;
    const char* says;
  };
  const tMistake mistakes[] = {
      {"bogus", "'bogus' is not a command of 'kestrelctl'"},
      {"wtachdog status", "did you mean 'watchdog'?"},
      {"watchdog strat", "did you mean 'start'?"},
      {"get --indx 1 product-name", "unknown option '--indx' for 'kestrelctl get'; did you mean '--index'?"},
      {"watchdog", "'kestrelctl watchdog' needs a command: status, start"},
      {"route path", "'kestrelctl route path' needs TICKET"},
      {"route path 1 2", "unexpected argument '2' for 'kestrelctl route path'"},
      {"route path -1", "'-1' is not a route ticket"},
      {"get product-name --index", "--index needs a value (N)"},
      {"watchdog keepalive", "needs --interval MS"},
      {"help watchdog nothing", "'nothing' is not a command of 'kestrelctl watchdog'"},
  };
  for (const auto& mistake : mistakes) {
    const tRun run = ctl(mistake.arguments);
    EXPECT_EQ(run.exitCode, 2) << mistake.arguments;
    EXPECT_EQ(run.errors.rfind("kestrelctl: ", 0), 0u) << mistake.arguments << "\n" << run.errors;
    EXPECT_TRUE(contains(run.errors, mistake.says)) << mistake.arguments << "\n" << run.errors;
    for (const char* parserText : {"Could not convert", "is required", "The following argument", "Expected", "[Option"}) {
      EXPECT_FALSE(contains(run.errors, parserText)) << mistake.arguments << "\n" << run.errors;
    }
  }
  const tRun quillhost = runShell(std::string(QUILLHOST) + " --cycles 0");
  EXPECT_EQ(quillhost.exitCode, 2);
  EXPECT_TRUE(contains(quillhost.errors, "--cycles '0' is not a number from 1 to 1000000")) << quillhost.errors;
}

}  // namespace
