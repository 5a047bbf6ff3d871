// The library against a driver that answers anything: every request of the
// simulated controller goes through a tHostileModel driven by the input, and
// the target uses the public interface as an application does (the
// controller's attributes, writes, the self test, a firmware update, the
// watchdog with its notifications, a routing session with a route and its
// demotions). Whatever the driver says, every call returns, texts are
// NUL-terminated within the caller's buffer and nothing is written past the
// capacity given, a size answer lets a retry succeed, reports and answers are
// valid JSON, and nothing (descriptor or thread) is left once all are closed.
// Watchdog time is manual, so no timeout waits.
#include <kestrel/kestrel.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "hostileChecks.h"
#include "sim/profile/tProfile.h"

namespace {

using nKESTRELSIM::tByteScript;
using nKESTRELSIM::tSimulator;

using hostile::countEntries;

constexpr std::uint32_t kU32Attributes[] = {
    KESTREL_ATTR_CONTROLLER_MODEL, KESTREL_ATTR_BOARD_ID, KESTREL_ATTR_BOARD_REVISION, KESTREL_ATTR_MEMORY_TYPE,
    KESTREL_ATTR_MEMORY_SPEED, KESTREL_ATTR_MEMORY_MODULE_COUNT, KESTREL_ATTR_MEMORY_SIZE + 1,
    KESTREL_ATTR_PROCESSOR_STEPPING, KESTREL_ATTR_DEVICE_VALUE_1, KESTREL_ATTR_BUS_WIDTH, KESTREL_ATTR_FEATURE_ENABLED,
    KESTREL_ATTR_SLOT_ENTRY + 2, KESTREL_ATTR_EXPANSION_INTERFACE, KESTREL_ATTR_BUS_TYPE, KESTREL_ATTR_DEVICE_VALUE_2,
    KESTREL_ATTR_DEVICE_VALUE_3, KESTREL_ATTR_INTERFACES_PRESENT, KESTREL_ATTR_TRIGGER_ENTRY_COUNT,
    KESTREL_ATTR_INFO_VERSION, 0x20099900};

constexpr std::uint32_t kTextAttributes[] = {
    KESTREL_ATTR_SYSTEM_MANUFACTURER, KESTREL_ATTR_PRODUCT_NAME, KESTREL_ATTR_SERIAL_NUMBER,
    KESTREL_ATTR_SYSTEM_VERSION, KESTREL_ATTR_BIOS_VERSION, KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_SMBIOS,
    KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, KESTREL_ATTR_BOARD_TEXT, KESTREL_ATTR_MEMORY_LOCATOR,
    KESTREL_ATTR_CONTROLLER_MODEL_NAME, KESTREL_ATTR_SLOT_TEXT + 1, KESTREL_ATTR_TRIGGER_FIELDS + 2,
    kTriggerRouterPathAttribute};

// The size answer, then a read with it; the text must end inside the buffer.
void readText(std::uint32_t id) {
  std::uint64_t length = 0;
  if (KESTREL_getAttributeUTF8(kControllerHandle, id, nullptr, &length) != kestrelerr_bufferTooSmall) return;
  // The companion chip's size answer is passed on as the driver gave it; a
  // caller would not follow an implausible one.
  if (length == 0 || length > 65536) return;
  std::vector<char> buffer(length + 8, '\x7f');
  std::uint64_t capacity = length;
  const std::int32_t retry = KESTREL_getAttributeUTF8(kControllerHandle, id, buffer.data(), &capacity);
  // Texts the library keeps from the open (all but the companion's) fit
  // the size it answered.
  const bool companion = (id & KESTREL_ATTR_SOURCE_COMPANION) != 0 || id == KESTREL_ATTR_BIOS_VERSION;
  if (retry == kestrelerr_bufferTooSmall && !companion) std::abort();
  if (retry < 0) return;
  if (std::memchr(buffer.data(), 0, length) == nullptr) std::abort();
  for (std::size_t i = length; i < buffer.size(); ++i) {
    if (buffer[i] != '\x7f') std::abort();  // written past the capacity given
  }
}

void useController(tSimulator& sim, tByteScript& script) {
  tKestrelHandle handle = 0;
  if (KESTREL_openController(&handle) < 0) return;
  for (const std::uint32_t id : kU32Attributes) {
    std::uint32_t value = 0;
    KESTREL_getAttributeU32(handle, id, &value);
  }
  for (const std::uint32_t id : kTextAttributes) readText(id);
  KESTREL_setAttributeU32(handle, KESTREL_ATTR_DEVICE_VALUE_1, 7);
  KESTREL_setAttributeUTF8(handle, KESTREL_ATTR_USER_TEXT, "bench 4");
  KESTREL_performSelfTest(handle);
  hostile::useFirmwareUpdate(sim, script);
  hostile::useRouting(sim, script);
  KESTREL_closeController(handle);
}

void useWatchdog(tSimulator& sim, tByteScript& script) {
  tKestrelHandle handle = 0;
  if (KESTREL_openWatchdog(&handle) < 0) return;
  KESTREL_setAttributeU32(handle, KESTREL_WATCHDOG_ATTR_TIMEOUT, 100);
  KESTREL_startWatchdogTimer(handle);
  KESTREL_petWatchdog(handle);
  // Notifications as the input says: well-formed ones, ends, or raw bytes.
  for (int i = script.next() % 3; i > 0; --i) {
    std::uint8_t payload[8];
    script.fill(payload, sizeof payload);
    switch (script.next() % 3) {
      case 0: sim.sendNotification(0x70, {payload, 1u + payload[0] % 2}); break;
      case 1: sim.sendEnd(0x70); break;
      default:
        for (const std::uint32_t port : sim.ports()) sim.sendRaw(port, payload);
        break;
    }
  }
  auto wait = std::async(std::launch::async, [handle] {
    std::int32_t value = 0;
    return KESTREL_waitForWatchdogNotification(handle, &value);
  });
  // A wait with nothing to report ends with the close at the latest.
  wait.wait_for(std::chrono::microseconds(500));
  KESTREL_stopWatchdogTimer(handle);
  KESTREL_closeWatchdog(handle);
  if (wait.wait_for(std::chrono::seconds(5)) != std::future_status::ready) std::abort();  // the wait hangs
  wait.get();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hostile::keepSandboxesInMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const int descriptors = countEntries("/proc/self/fd");
  const int threads = countEntries("/proc/self/task");
  tByteScript script({bytes, size});
  tSimulator& sim = tSimulator::instance();
  sim.start();
  nKESTRELSIM::tProfile::defaults().apply(sim, true);
  sim.wrapModels([&script](std::unique_ptr<nKESTRELSIM::tDriverModel> model) -> std::unique_ptr<nKESTRELSIM::tDriverModel> {
    return std::make_unique<nKESTRELSIM::tHostileModel>(std::move(model), script);
  });
  sim.useManualClock();
  useController(sim, script);
  useWatchdog(sim, script);
  sim.stop();
  if (countEntries("/proc/self/fd") != descriptors) std::abort();  // a descriptor was left open
  // A joined thread can stay listed for a moment while the kernel finishes
  // its exit: give it that moment before calling it left running.
  for (int i = 0; i < 200 && countEntries("/proc/self/task") != threads; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (countEntries("/proc/self/task") != threads) std::abort();  // a thread was left running
  return 0;
}
