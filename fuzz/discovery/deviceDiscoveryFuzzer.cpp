// The discovery of device interfaces against whatever the driver's /proc
// directory holds: the input makes interface directories (any name, any
// driver directory, with or without an interfacePath file, with any
// content), then the controller, the watchdog and a routing session are
// opened and closed through the public interface. Every call returns,
// reports are valid JSON, texts end inside their buffers, and nothing
// (descriptor or thread) is left.
//
// Every path stays in the simulator's sandbox: names lose their ".."
// steps, and interfacePath contents always name a path under a simulated
// prefix, so the library never opens a real file or device.
#include <dirent.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <kestrel/kestrel.h>
#include <kestrel/quill_ra_kestrel.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "../hostileDriver/hostileChecks.h"
#include "platform/deviceInterfaceNames.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"

namespace {

using nKESTRELSIM::tSimulator;

constexpr const char* kInterfaces[] = {nKESTREL1400::kControllerInterface, nKESTREL1400::kCompanionInterface,
                                       nKESTREL1400::kWatchdogInterface, nKESTREL1400::kTriggerRouterInterface};
constexpr const char* kDrivers[] = {"kestrel", "other"};
constexpr const char* kPrefixes[] = {"/dev/zesim/", "/proc/driver/ze/", "/run/zesvc/"};
constexpr std::size_t kMaxName = 100;  // well inside a file name's limit

// No step out of the sandbox: every ".." loses its second dot, and no
// path component is longer than the file system allows.
std::string confined(std::string text, bool allowSlash) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '.' && text[i - 1] == '.') text[i] = '_';
  }
  for (char& c : text) {
    if (c == '\0' || (!allowSlash && c == '/')) c = '_';
  }
  if (text.size() > kMaxName) text.resize(kMaxName);
  return text;
}

std::string driverName(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return kDrivers[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kDrivers) - 1)];
  std::string name = confined(input.ConsumeRandomLengthString(16), false);
  return name.empty() || name == "." ? "kestrel" : name;
}

// An interfacePath content: under a simulated prefix, then anything (line
// ends, spaces, NULs, a device that is not there, a very long text).
std::string interfacePathContent(FuzzedDataProvider& input, const std::string& devicePath) {
  std::string content;
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: content = devicePath; break;
    case 1: content = kPrefixes[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kPrefixes) - 1)]; break;
    default: content = devicePath.substr(0, input.ConsumeIntegralInRange<std::size_t>(0, devicePath.size())); break;
  }
  if (content.rfind("/", 0) != 0) content = "/dev/zesim/" + content;
  std::string tail = input.ConsumeRandomLengthString(64);
  for (std::size_t i = 1; i < tail.size(); ++i) {
    if (tail[i] == '.' && tail[i - 1] == '.') tail[i] = '_';
  }
  if (input.ConsumeIntegralInRange(0, 15) == 0) tail.append(input.ConsumeIntegralInRange<std::size_t>(0, 5000), 'x');
  // A content that drops the prefix (a leading NUL ends it early) keeps
  // naming nothing outside the sandbox.
  return content + tail;
}

void addEntries(tSimulator& sim, FuzzedDataProvider& input) {
  for (int entries = input.ConsumeIntegralInRange(0, 8); entries > 0 && input.remaining_bytes() > 0; --entries) {
    const std::string driver = driverName(input);
    const int kind = input.ConsumeIntegralInRange(0, 3);
    if (kind == 0) {
      // A bare directory: any name, no interfacePath file. A name that runs
      // through an existing file cannot be made; the entry is left out.
      try {
        sim.addDirectory(confined(input.ConsumeRandomLengthString(kMaxName), true), driver);
      } catch (const std::filesystem::filesystem_error&) {
      }
      continue;
    }
    const auto existing = sim.interfaces();
    if (kind == 3 && !existing.empty()) {
      // Another content for an interface already there.
      const auto* node = existing[input.ConsumeIntegralInRange<std::size_t>(0, existing.size() - 1)];
      sim.setInterfacePathContent(*node, interfacePathContent(input, node->devicePath));
      continue;
    }
    const char* interface = kInterfaces[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kInterfaces) - 1)];
    const std::string suffix = confined(input.ConsumeRandomLengthString(24), false);
    try {
      auto& node = sim.addInterface(interface, suffix, driver, true);
      if (kind == 2) sim.setInterfacePathContent(node, interfacePathContent(input, node.devicePath));
    } catch (const std::filesystem::filesystem_error&) {
    }
  }
}

void openRoutingSession() {
  char path[1024];
  std::memset(path, 0x7f, sizeof path);
  std::uint64_t length = sizeof path - 8;
  if (KESTREL_getAttributeUTF8(kControllerHandle, kTriggerRouterPathAttribute, path, &length) < 0) return;
  if (std::memchr(path, 0, sizeof path - 8) == nullptr) std::abort();
  hostile::tReport status;
  quill_ra_kestrel_session* session = quill_ra_kestrel_createSession(
      path, [](void* existing, std::size_t size) { return std::realloc(existing, size); }, status);
  status.check();
  quill_ra_kestrel_destroySession(session);
}

void openEach() {
  tKestrelHandle controller = 0;
  if (KESTREL_openController(&controller) >= 0) {
    char text[64];
    std::uint64_t length = sizeof text;
    if (KESTREL_getAttributeUTF8(controller, KESTREL_ATTR_PRODUCT_NAME, text, &length) >= 0 &&
        std::memchr(text, 0, sizeof text) == nullptr) {
      std::abort();
    }
    KESTREL_closeController(controller);
  }
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) >= 0) KESTREL_closeWatchdog(watchdog);
  openRoutingSession();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hostile::keepSandboxesInMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const int descriptors = hostile::countEntries("/proc/self/fd");
  const int threads = hostile::countEntries("/proc/self/task");
  FuzzedDataProvider input(bytes, size);
  tSimulator& sim = tSimulator::instance();
  sim.start();
  // The default controller's interfaces and board first, or nothing.
  if (input.ConsumeBool()) nKESTRELSIM::tProfile::defaults().apply(sim, true);
  addEntries(sim, input);
  openEach();
  sim.stop();
  if (hostile::countEntries("/proc/self/fd") != descriptors) std::abort();  // a descriptor was left open
  for (int i = 0; i < 200 && hostile::countEntries("/proc/self/task") != threads; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (hostile::countEntries("/proc/self/task") != threads) std::abort();  // a thread was left running
  return 0;
}
