#include "tools/kestrelctl/routeShell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/helpText.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/parseErrors.h"
#include "tools/kestrelctl/routeCommands.h"
#include "tools/kestrelctl/shellInput.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"
#include "tools/kestrelctl/terminalCommands.h"

namespace kestrelctl {
namespace {

// The commands a line may hold: the route operations and the shell's own.
class tShellCommands {
 public:
  tShellCommands() {
    root_.name("");
    root_.set_help_flag("-h,--help", "show the help of the command it follows");
    routes_ = root_.add_subcommand("routes", "the routes this session calculated or moved, with their states");
    terminals_ = root_.add_subcommand("terminals", "the trigger router's terminals");
    root_.add_subcommand("help", "the commands, or the help of one")->add_option("command", helpPath_, "the command, e.g. 'calculate'")->option_text("COMMAND");
    quit_ = root_.add_subcommand("quit", "release this session's routes and end (as the end of the input does)");
    quit_->alias("exit");
  }

  int run(const std::vector<std::string>& words, tRouteSession& session) {
    // The parser would take the names after 'help' for commands to run.
    if (words.front() == "help") return runHelp(root_, {words.begin() + 1, words.end()});
    root_.clear();
    operations_.reset();
    helpPath_.clear();
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
      root_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      return printHelp(deepestCommand(root_));
    } catch (const CLI::ParseError& error) {
      return reportParseError(root_, words, error);
    }
    if (checkCommandChosen(root_) != kSuccess) return kUsage;
    if (operations_.parsed()) return operations_.run(session);
    if (routes_->parsed()) return printRoutes(session);
    if (terminals_->parsed()) return printTerminalsOf(session);
    quit_requested_ = true;
    return kSuccess;
  }

  bool quitRequested() const { return quit_requested_; }

 private:
  static int printRoutes(const tRouteSession& session) {
    nlohmann::json routes = nlohmann::json::array();
    tTableText table({"TICKET", "STATE", "CALCULATED", "NOTE"});
    for (const auto& [ticket, route] : session.routes()) {
      const char* note = route.maybeDemoted ? "a demotion arrived since: maybe calculated again" : "";
      routes.push_back({{"ticket", ticket},
                        {"state", stateName(route.state)},
                        {"calculatedHere", route.calculatedHere},
                        {"maybeDemoted", route.maybeDemoted}});
      table.addRow({std::to_string(ticket), stateName(route.state), route.calculatedHere ? "here" : "elsewhere", note});
    }
    if (outputOptions().json) {
      setJsonResult({{"routes", routes}});
    } else {
      table.print(outputOptions().headings);
    }
    return kSuccess;
  }

  static int printTerminalsOf(tRouteSession& session) {
    std::vector<quillhost::tTerminalRow> rows;
    if (const int status = session.terminals(rows); status != kSuccess) return status;
    printTerminals(rows, session.devicePath());
    return kSuccess;
  }

  CLI::App root_{"Route commands, one per line, in one routing session. Tickets live as long as this session: "
                 "its routes are released when the input ends, on 'quit', and on Ctrl-C."};
  tRouteOperations operations_{root_};
  CLI::App* routes_;
  CLI::App* terminals_;
  CLI::App* quit_;
  std::vector<std::string> helpPath_;
  bool quit_requested_ = false;
};

// Standard input, or the file named; -1 after reporting why not.
int openInput(const std::string& file) {
  if (file.empty() || file == "-") return STDIN_FILENO;
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  struct stat status {};
  std::string reason = fd < 0 ? std::strerror(errno) : "";
  if (fd >= 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) reason = "it is a directory";
  if (reason.empty()) return fd;
  if (fd >= 0) close(fd);
  printProblem("route shell", "cannot read " + file + ": " + reason);
  return -1;
}

void noteDemotions(unsigned count) {
  if (outputOptions().json) {
    setJsonResult({{"event", "demotion"}, {"demotions", count}});
  } else {
    std::fprintf(stderr, "kestrelctl: the driver demoted %s: routes reserved or programmed here may be calculated "
                         "again ('routes' marks them)\n", count == 1 ? "a route" : "routes");
  }
}

int runLine(tShellCommands& commands, const std::string& line, tRouteSession& session) {
  std::string error;
  const auto words = splitWords(line, error);
  if (!words) return printUsageError(error);
  if (words->empty()) return kSuccess;
  const int status = commands.run(*words, session);
  std::fflush(stdout);
  return status;
}

struct tShellEnd {
  int status = kSuccess;  // of the last command that failed
  int signal = 0;
  int readError = 0;
};

tShellEnd serve(tShellInput& input, tRouteSession& session, tStopSignals& signals, bool interactive) {
  tShellCommands commands;
  tShellEnd end;
  const int others[] = {session.demotionDescriptor()};
  while (!commands.quitRequested()) {
    if (interactive) std::fputs("route> ", stderr);
    const auto event = input.next(signals, others);
    if (event == tShellInput::tEvent::end) break;
    if (event == tShellInput::tEvent::signal) end.signal = signals.lastSignal();
    if (event == tShellInput::tEvent::failed) end.readError = input.error();
    if (event == tShellInput::tEvent::signal || event == tShellInput::tEvent::failed) break;
    if (event == tShellInput::tEvent::other) {
      if (const unsigned count = session.takeDemotions(); count != 0) noteDemotions(count);
      continue;
    }
    outputOptions().inputLine = input.lineNumber();
    const int status = event == tShellInput::tEvent::tooLong
                           ? printUsageError("the line is longer than " + std::to_string(tShellInput::kMaxLine) +
                                             " bytes; it was skipped")
                           : runLine(commands, input.line(), session);
    if (status != kSuccess) end.status = status;
    outputOptions().inputLine.reset();
  }
  return end;
}

void printReleased(const std::vector<std::uint32_t>& released, int signal) {
  if (outputOptions().json) {
    setJsonResult({{"event", "end"},
                   {"released", released},
                   {"signal", signal == 0 ? nlohmann::json() : nlohmann::json(signalName(signal))}});
    return;
  }
  for (const std::uint32_t ticket : released) std::printf("route %u released\n", ticket);
}

}  // namespace

int runRouteShell(const std::string& file) {
  const int fd = openInput(file);
  if (fd < 0) return kFailure;
  tStopSignals signals;  // before the session's thread, which inherits the blocked signals
  outputOptions().documentPerLine = true;
  tRouteSession session;
  if (!session.open()) return kFailure;
  tShellInput input(fd);
  const bool interactive = isatty(fd) != 0 && !outputOptions().json;
  const tShellEnd end = serve(input, session, signals, interactive);
  printReleased(session.release(), end.signal);
  if (fd != STDIN_FILENO) close(fd);
  if (end.readError != 0) {
    return printProblem("route shell", "cannot read " + (fd == STDIN_FILENO ? std::string("the standard input") : file) +
                                           ": " + std::strerror(end.readError));
  }
  return end.signal != 0 ? 128 + end.signal : end.status;
}

}  // namespace kestrelctl
