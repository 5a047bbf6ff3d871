// kestrel-record -o FILE [--redact] -- PROGRAM [ARGS...]
// Runs a program with the recorder preloaded: every exchange of its
// processes with the controller's driver is appended to FILE. The program
// replaces this launcher (exec), so its exit status, signals and standard
// streams are its own.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim/launcher/tLaunchEnvironment.h"
#include "sim/record/recordingFormat.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLaunchFailure = 125;
constexpr int kNotExecutable = 127;
constexpr const char* kUsage = "usage: kestrel-record -o FILE [--redact] -- PROGRAM [ARGS...]";

struct tOptions {
  std::string output;
  bool redact = false;
  std::vector<std::string> command;
};

std::string recorderLibrary() {
  if (const char* configured = std::getenv("KESTREL_RECORD_LIBRARY")) return configured;
  const std::string library = nKESTRELSIM::installedBeside(KESTREL_RECORD_INSTALLED_LIBRARY);
  return library.empty() ? KESTREL_RECORD_LIBRARY_PATH : library;
}

// A new recording: the format line, nothing else yet.
void startRecording(const tOptions& options) {
  const int file = ::open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file == -1) {
    throw std::runtime_error("cannot create the recording " + options.output + ": " + std::strerror(errno) +
                             " (choose a file in a folder you may write)");
  }
  const std::string header = nKESTRELSIM::nRecording::headerLine(options.redact);
  const bool written = ::write(file, header.data(), header.size()) == static_cast<ssize_t>(header.size());
  ::close(file);
  if (!written) throw std::runtime_error("cannot write the recording " + options.output);
}

// The program's name where the user left out the "--" before a program
// that takes options of its own ("kestrel-record -o F kestrelctl --json info").
const char* programWithoutSeparator(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") return nullptr;
    if (argument == "-o" || argument == "--output") {
      ++i;
      continue;
    }
    if (argument.rfind('-', 0) == 0) continue;
    for (int later = i + 1; later < argc; ++later) {
      if (argv[later][0] == '-') return argv[i];
    }
    return nullptr;
  }
  return nullptr;
}

int parse(int argc, char** argv, tOptions& options) {
  if (const char* program = programWithoutSeparator(argc, argv)) {
    std::cerr << "kestrel-record: put -- before the program, so that its options stay its own: kestrel-record -o "
                 "FILE [--redact] -- "
              << program << " ...\n";
    return kLaunchFailure;
  }
  CLI::App app{"Runs a program and records its exchanges with the controller's driver"};
  app.add_option("-o,--output", options.output, "the recording file to write (replaced if it exists)")->required();
  app.add_flag("--redact", options.redact, "replace serial numbers and other identification texts");
  app.add_option("command", options.command, "the program and its arguments (after --)")->required();
  app.footer("Example: kestrel-record -o info.krec -- kestrelctl info\n"
             "Replay: kestrel-sim --replay info.krec -- kestrelctl info");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);
  } catch (const CLI::ParseError& error) {
    std::cerr << "kestrel-record: " << error.what() << "\nkestrel-record: " << kUsage << "\n";
    return kLaunchFailure;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  tOptions options;
  if (const int result = parse(argc, argv, options); result >= 0) return result;
  try {
    options.output = fs::absolute(options.output).string();
    startRecording(options);
    const std::string preload =
        nKESTRELSIM::preloadFor(options.command.front(), recorderLibrary(), std::getenv("LD_PRELOAD"));
    setenv(nKESTRELSIM::nRecording::kFileVariable, options.output.c_str(), 1);
    setenv(nKESTRELSIM::nRecording::kRedactVariable, options.redact ? "1" : "0", 1);
    setenv("LD_PRELOAD", preload.c_str(), 1);
  } catch (const std::exception& error) {
    std::cerr << "kestrel-record: " << error.what() << "\n";
    return kLaunchFailure;
  }
  std::vector<char*> arguments;
  for (auto& argument : options.command) arguments.push_back(argument.data());
  arguments.push_back(nullptr);
  execvp(arguments.front(), arguments.data());
  std::cerr << "kestrel-record: cannot run " << options.command.front() << ": " << std::strerror(errno) << "\n";
  return kNotExecutable;
}
