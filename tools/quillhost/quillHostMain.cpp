// quillhost: loads the routing adaptor as the trigger-routing framework
// does (dlopen, the 22 functions by name, the API version) and drives
// sessions through it: a check that the adaptor is fit to be a plug-in.
//
//   kestrel-sim -- build/tools/quillhost/quillhost --library build/libkestrel.so.1 --cycles 100
#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "tools/quillhost/hostSession.h"
#include "tools/quillhost/terminalTable.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

struct tOptions {
  std::string library = "libkestrel.so.1";
  std::string device;
  unsigned cycles = 1;
};

// One load, session, terminal walk, teardown and unload.
bool runCycle(const tOptions& options, unsigned cycle) {
  std::string error;
  auto adaptor = quillhost::tQuillAdaptor::load(options.library, error);
  if (!adaptor) {
    std::fprintf(stderr, "quillhost: %s\n", error.c_str());
    return false;
  }
  const std::string device = options.device.empty() ? quillhost::triggerRouterPath(adaptor->library()) : options.device;
  if (device.empty()) {
    std::fprintf(stderr, "quillhost: no trigger router found; name its device with --device\n");
    return false;
  }
  quillhost::tFrameworkStatus status;
  quillhost::tHostSession session(adaptor->functions(), device, status);
  if (session.handle() == nullptr) {
    std::fprintf(stderr, "quillhost: cannot open a session on %s: %d %s\n", device.c_str(), status.code(),
                 status.text().c_str());
    return false;
  }
  const auto terminals = quillhost::readTerminals(adaptor->functions(), session.handle(), status);
  if (status.isError()) {
    std::fprintf(stderr, "quillhost: reading the terminals failed: %d %s\n", status.code(), status.text().c_str());
    return false;
  }
  if (cycle == 0) {
    std::printf("%s: API version %d, %zu terminals on %s\n", options.library.c_str(),
                adaptor->functions().getAPIVersion(), terminals.size(), device.c_str());
  }
  return true;
}

// A count from 1 to 1000000, or nothing.
std::optional<unsigned> parseCycles(const std::string& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < 1 || value > 1'000'000) {
    return std::nullopt;
  }
  return value;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "quillhost: %s; 'quillhost --help' shows the usage\n", message.c_str());
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quillhost: load the routing adaptor as the routing framework does and drive sessions through it",
               "quillhost"};
  tOptions options;
  std::string cycles = "1";
  app.add_option("--library", options.library, "the adaptor to load (default libkestrel.so.1)")->option_text("PATH");
  app.add_option("--device", options.device, "the trigger router's device path (default: as the library reports it)")
      ->option_text("PATH");
  app.add_option("--cycles", cycles, "how often to load, use and unload the adaptor (1 to 1000000)")->option_text("N");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::printf("%s", app.help().c_str());
    return 0;
  } catch (const CLI::ParseError& error) {
    const auto extras = app.remaining();
    if (!extras.empty()) return usageError("unexpected argument '" + extras.front() + "'");
    return usageError("an option is missing its value");
  }
  const auto count = parseCycles(cycles);
  if (!count) return usageError("--cycles '" + cycles + "' is not a number from 1 to 1000000");
  options.cycles = *count;
  for (unsigned cycle = 0; cycle < options.cycles; ++cycle) {
    if (!runCycle(options, cycle)) return kFailure;
  }
  std::printf("%u load and unload cycles\n", options.cycles);
  return 0;
}
