// The generated proxies as the driver sees them: request codes, raw input
// records, statusIn, driver and system failures.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <string>

#include "codegen/tInterfaceProxy_hostController.h"
#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "codegen/tInterfaceProxy_hostMarten.h"
#include "codegen/tInterfaceProxy_routing.h"
#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "platform/tDeviceInterfaceIterator.h"
#include "sim/models/tHostControllerModel.h"
#include "simulatedController.h"

using namespace nKESTREL1400;
using nKESTREL1400::nDriverWire::tReservationConflict;
using nKESTREL1400::nDriverWire::tRouteSeed;
using nKESTREL1400::nDriverWire::tRouteSegment;

namespace {

constexpr std::int32_t kWarning = 7;

// The protection of the mapping that starts at `address`, from /proc/self/maps.
std::string protectionOf(const void* address) {
  std::ifstream maps("/proc/self/maps");
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  for (std::string line; std::getline(maps, line);) {
    if (std::stoull(line.substr(0, line.find('-')), nullptr, 16) == start) {
      return line.substr(line.find(' ') + 1, 4);
    }
  }
  return "";
}

template <class Proxy>
void openOn(Proxy& proxy, const nKESTRELSIM::tDeviceNode& node) {
  tStatus status;
  proxy.open(node.devicePath.c_str(), status);
  ASSERT_EQ(status.getCode(), 0);
}

class InterfaceProxies : public SimulatedController {
 protected:
  void SetUp() override {
    SimulatedController::SetUp();
    openOn(controller, sim().addInterface(nKESTREL1400::kControllerInterface));
    openOn(marten, sim().addInterface(nKESTREL1400::kCompanionInterface));
    openOn(watchdog, sim().addInterface(nKESTREL1400::kWatchdogInterface));
    openOn(router, sim().addInterface(nKESTREL1400::kTriggerRouterInterface));
    sim().clearRequests();
  }

  // Runs one request with a warning in the status and returns what the
  // driver received; the warning must arrive as statusIn.
  nKESTRELSIM::tLoggedRequest sendWithWarning(const std::function<void(tStatus&)>& request) {
    sim().clearRequests();
    tStatus status = statusHolding(kWarning);
    request(status);
    const auto log = sim().requests();
    EXPECT_EQ(log.size(), 1u);
    return log.empty() ? nKESTRELSIM::tLoggedRequest{} : log.front();
  }

 public:
  tInterfaceProxy_hostController controller;
  tInterfaceProxy_hostMarten marten;
  tInterfaceProxy_hostControllerWatchdog watchdog;
  tInterfaceProxy_routing router;
};

struct tExpectedRequest {
  const char* name;
  std::function<void(InterfaceProxies&, tStatus&)> call;
  std::uint32_t code;
  std::function<std::vector<std::uint8_t>()> input;
  std::uint32_t outputSize;
};

std::uint8_t gValue[16];
std::uint8_t gTable[64];
const tRouteSeed gSeeds[2] = {};
const std::uint32_t gDestinations[3] = {4, 5, 6};
tRouteSegment gSegments[6];
tReservationConflict gConflicts[8];
std::uint32_t gPath[32];
char gName[128];

const tExpectedRequest kRequests[] = {
    {"getSmBiosData",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t identSize = 3, tableSize = 64;
       p.controller.getSmBiosData(gValue, identSize, gTable, tableSize, s);
     },
     nDriverWire::kGetSmBiosData,
     [] {
       return RecordBytes(32).address(0, gValue).u32(8, 3).address(16, gTable).u32(24, 64).u32(28, kWarning).bytes();
     },
     12},
    {"updateFirmware", [](InterfaceProxies& p, tStatus& s) { p.controller.updateFirmware(gTable, 64, s); },
     nDriverWire::kUpdateFirmware,
     [] { return RecordBytes(16).address(0, gTable).u32(8, 64).u32(12, kWarning).bytes(); }, 4},
    {"getAttribute",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t size = 4;
       p.controller.getAttribute(KESTREL_ATTR_DEVICE_VALUE_1, gValue, size, s);
     },
     nDriverWire::kGetAttribute,
     [] {
       return RecordBytes(24)
           .u32(0, KESTREL_ATTR_DEVICE_VALUE_1)
           .address(8, gValue)
           .u32(16, 4)
           .u32(20, kWarning)
           .bytes();
     },
     8},
    {"setAttribute",
     [](InterfaceProxies& p, tStatus& s) { p.controller.setAttribute(KESTREL_ATTR_USER_TEXT, gValue, 5, s); },
     nDriverWire::kSetAttribute,
     [] {
       return RecordBytes(24).u32(0, KESTREL_ATTR_USER_TEXT).address(8, gValue).u32(16, 5).u32(20, kWarning).bytes();
     },
     4},
    {"marten.updateFirmware", [](InterfaceProxies& p, tStatus& s) { p.marten.updateFirmware(gTable, 9, s); },
     nDriverWire::kUpdateMartenFirmware,
     [] { return RecordBytes(16).address(0, gTable).u32(8, 9).u32(12, kWarning).bytes(); }, 4},
    {"marten.getAttribute",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t size = 16;
       p.marten.getAttribute(KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION, gValue, size, s);
     },
     nDriverWire::kGetAttribute,
     [] {
       return RecordBytes(24)
           .u32(0, KESTREL_ATTR_BIOS_VERSION | KESTREL_ATTR_SOURCE_COMPANION)
           .address(8, gValue)
           .u32(16, 16)
           .u32(20, kWarning)
           .bytes();
     },
     8},
    {"petWatchdog", [](InterfaceProxies& p, tStatus& s) { p.watchdog.petWatchdog(s); }, nDriverWire::kPetWatchdog,
     [] { return RecordBytes(4).u32(0, kWarning).bytes(); }, 4},
    {"startWatchdogTimer", [](InterfaceProxies& p, tStatus& s) { p.watchdog.startWatchdogTimer(s); },
     nDriverWire::kStartWatchdogTimer, [] { return RecordBytes(4).u32(0, kWarning).bytes(); }, 4},
    {"stopWatchdogTimer", [](InterfaceProxies& p, tStatus& s) { p.watchdog.stopWatchdogTimer(s); },
     nDriverWire::kStopWatchdogTimer, [] { return RecordBytes(4).u32(0, kWarning).bytes(); }, 4},
    {"cancelWait", [](InterfaceProxies& p, tStatus& s) { p.watchdog.cancelWaitForWatchdogNotification(s); },
     nDriverWire::kCancelWaitForWatchdogNotification, [] { return RecordBytes(4).u32(0, kWarning).bytes(); }, 4},
    {"getRouterInfo",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t value = 0;
       p.router.getRouterInfo(value, s);
     },
     nDriverWire::kGetRouterInfo, [] { return RecordBytes(4).u32(0, kWarning).bytes(); }, 8},
    {"calculateRoute",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t count = 6;
       p.router.calculateRoute(0x1122334455667788, gSeeds, 2, gDestinations, 3, 1, gSegments, count, s);
     },
     nDriverWire::kCalculateRoute,
     [] {
       return RecordBytes(56)
           .u64(0, 0x1122334455667788)
           .address(8, gSeeds)
           .u32(16, 2)
           .address(24, gDestinations)
           .u32(32, 3)
           .u32(36, 1)
           .address(40, gSegments)
           .u32(48, 6)
           .u32(52, kWarning)
           .bytes();
     },
     12},
    {"destroyRoute", [](InterfaceProxies& p, tStatus& s) { p.router.destroyRoute(9, s); }, nDriverWire::kDestroyRoute,
     [] { return RecordBytes(8).u32(0, 9).u32(4, kWarning).bytes(); }, 4},
    {"reserveRoute",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t count = 8;
       p.router.reserveRoute(9, gConflicts, count, s);
     },
     nDriverWire::kReserveRoute, [] { return RecordBytes(24).u32(0, 9).address(8, gConflicts).u32(16, 8).u32(20, kWarning).bytes(); },
     8},
    {"programRoute", [](InterfaceProxies& p, tStatus& s) { p.router.programRoute(9, s); }, nDriverWire::kProgramRoute,
     [] { return RecordBytes(8).u32(0, 9).u32(4, kWarning).bytes(); }, 4},
    {"unreserveRoute", [](InterfaceProxies& p, tStatus& s) { p.router.unreserveRoute(9, s); }, nDriverWire::kUnreserveRoute,
     [] { return RecordBytes(8).u32(0, 9).u32(4, kWarning).bytes(); }, 4},
    {"unprogramRoute", [](InterfaceProxies& p, tStatus& s) { p.router.unprogramRoute(9, s); }, nDriverWire::kUnprogramRoute,
     [] { return RecordBytes(8).u32(0, 9).u32(4, kWarning).bytes(); }, 4},
    {"getRouteTerminalPath",
     [](InterfaceProxies& p, tStatus& s) {
       std::uint32_t count = 32;
       p.router.getRouteTerminalPath(9, gPath, count, s);
     },
     nDriverWire::kGetRouteTerminalPath, [] { return RecordBytes(24).u32(0, 9).address(8, gPath).u32(16, 32).u32(20, kWarning).bytes(); }, 8},
    {"getTopographyName", [](InterfaceProxies& p, tStatus& s) { p.router.getTopographyName(gName, 128, s); },
     nDriverWire::kGetTopographyName, [] { return RecordBytes(16).address(0, gName).u32(8, 128).u32(12, kWarning).bytes(); }, 4},
    {"resetTerminal", [](InterfaceProxies& p, tStatus& s) { p.router.resetTerminal(4, 1, s); }, nDriverWire::kResetTerminal,
     [] { return RecordBytes(12).u32(0, 4).u32(4, 1).u32(8, kWarning).bytes(); }, 4},
    {"calculateResetTerminal",
     [](InterfaceProxies& p, tStatus& s) { p.router.calculateResetTerminal(0xAABBCCDD00112233, 4, 0, s); }, nDriverWire::kCalculateResetTerminal,
     [] { return RecordBytes(24).u64(0, 0xAABBCCDD00112233).u32(8, 4).u32(12, 0).u32(16, kWarning).bytes(); }, 8},
};

TEST_F(InterfaceProxies, EveryRequestReachesTheDriverAsSpecified) {
  for (const auto& expected : kRequests) {
    SCOPED_TRACE(expected.name);
    const auto received = sendWithWarning([&](tStatus& status) { expected.call(*this, status); });
    EXPECT_EQ(received.code, expected.code);
    EXPECT_EQ(received.input, expected.input());
    EXPECT_EQ(received.outputSize, expected.outputSize);
  }
}

TEST_F(InterfaceProxies, HeldErrorSendsNothing) {
  for (const auto& expected : kRequests) {
    SCOPED_TRACE(expected.name);
    sim().clearRequests();
    tStatus status = statusHolding(-1);
    expected.call(*this, status);
    EXPECT_TRUE(sim().requests().empty());
    EXPECT_EQ(status.getCode(), -1);
    EXPECT_STREQ(status.file, "caller");
  }
}

TEST_F(InterfaceProxies, DriverStatusFollowsTheMergeRule) {
  tStatus status = statusHolding(kWarning);
  watchdog.petWatchdog(status);
  EXPECT_EQ(status.getCode(), kWarning);  // driver 0 keeps the warning

  sim().failRequests(nDriverWire::kPetWatchdog, 1, {0, 9});
  tStatus clean;
  watchdog.petWatchdog(clean);
  EXPECT_EQ(clean.getCode(), 9);
  EXPECT_STREQ(clean.file, "tInterfaceProxy_hostControllerWatchdog");
  EXPECT_EQ(clean.line, 60u);

  sim().failRequests(nDriverWire::kStopWatchdogTimer, 1, {0, -52031});
  watchdog.stopWatchdogTimer(status);
  EXPECT_EQ(status.getCode(), -52031);  // an error replaces the warning
  EXPECT_STREQ(status.file, "tInterfaceProxy_hostControllerWatchdog");
  EXPECT_EQ(status.line, 110u);
  EXPECT_STREQ(status.component, "kestrel");
}

TEST_F(InterfaceProxies, OutArgumentsAreWrittenAlsoWithADriverError) {
  sim().hostController().attributes().setText(KESTREL_ATTR_BOARD_TEXT, "a longer text");
  std::uint32_t size = 4;
  tStatus status;
  controller.getAttribute(KESTREL_ATTR_BOARD_TEXT, gValue, size, status);
  EXPECT_EQ(status.getCode(), kestrelerr_bufferTooSmall);
  EXPECT_EQ(status.line, 122u);
  EXPECT_EQ(size, 14u);

  // Both sizes of the SMBIOS size pass.
  sim().hostController().setSmBios("ident", std::vector<std::uint8_t>(40, 1));
  std::uint32_t identSize = 0, tableSize = 0;
  tStatus sizes;
  controller.getSmBiosData(nullptr, identSize, nullptr, tableSize, sizes);
  EXPECT_EQ(sizes.getCode(), smbioserr_bufferTooSmall);
  EXPECT_EQ(identSize, 6u);
  EXPECT_EQ(tableSize, 40u);
}

TEST_F(InterfaceProxies, SystemFailuresAreMappedAtTheRawOperation) {
  struct {
    int error;
    std::int32_t code;
  } const cases[] = {{ENOTTY, brioerr_notSupported}, {ETIMEDOUT, brioerr_timeout}, {200, brioerr_systemError}};
  for (const auto& c : cases) {
    sim().failRequests(nDriverWire::kGetAttribute, 1, {c.error, 0});
    std::uint32_t size = 123;
    tStatus status = statusHolding(kWarning);
    controller.getAttribute(KESTREL_ATTR_DEVICE_VALUE_1, gValue, size, status);
    EXPECT_EQ(status.getCode(), c.code);
    EXPECT_STREQ(status.file, "tDeviceInterfaceProxy");
    EXPECT_EQ(status.line, 85u);
    EXPECT_EQ(size, 123u);  // nothing written
  }
  sim().failRequests(nDriverWire::kCalculateRoute, 1, {EIO, 0});
  std::uint32_t count = 6;
  tStatus status;
  EXPECT_EQ(router.calculateRoute(1, gSeeds, 2, gDestinations, 3, 0, gSegments, count, status), 0u);
  EXPECT_EQ(status.getCode(), brioerr_ioFailure);
  EXPECT_EQ(count, 6u);
}

TEST_F(InterfaceProxies, ResultsComeFromTheDriverAlsoWithItsError) {
  const tRouteSeed seeds[1] = {{4, 10, 1, {}}};
  const std::uint32_t destinations[2] = {5, 6};
  std::uint32_t count = 6;
  tStatus status;
  const std::uint32_t ticket = router.calculateRoute(1, seeds, 1, destinations, 2, 0, gSegments, count, status);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_NE(ticket, 0u);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(gSegments[1].destinationId, 6u);
  EXPECT_EQ(gSegments[1].cost, 11u);
  EXPECT_EQ(gSegments[1].inversionNeeded, 1u);

  sim().failRequests(nDriverWire::kCalculateRoute, 1, {0, brioerr_resourceFailure});
  tStatus failed;
  EXPECT_EQ(router.calculateRoute(1, seeds, 1, destinations, 2, 0, gSegments, count, failed), ticket + 1);
  EXPECT_EQ(failed.getCode(), brioerr_resourceFailure);
  EXPECT_STREQ(failed.file, "tInterfaceProxy_routing");
  EXPECT_EQ(failed.line, 97u);

  tStatus reset;
  EXPECT_EQ(router.calculateResetTerminal(1, 6, 1, reset), 1u);
  sim().failRequests(nDriverWire::kCalculateResetTerminal, 1, {EIO, 0});
  EXPECT_EQ(router.calculateResetTerminal(1, 6, 0, reset), 0u);
  EXPECT_EQ(reset.getCode(), brioerr_ioFailure);
}

TEST_F(InterfaceProxies, ClosedProxies) {
  tInterfaceProxy_hostControllerWatchdog closed;
  closed.close();  // never opened: nothing happens
  tStatus status;
  closed.petWatchdog(status);
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_STREQ(status.file, "tDeviceInterfaceProxy");

  watchdog.close();
  EXPECT_FALSE(watchdog.isOpen());
  tStatus afterClose;
  watchdog.startWatchdogTimer(afterClose);
  EXPECT_EQ(afterClose.getCode(), brioerr_deviceNotFound);
}

TEST_F(InterfaceProxies, OpenFailureLeavesTheProxyClosed) {
  tInterfaceProxy_hostController proxy;
  tStatus status;
  proxy.open("/dev/zesim/none", status);
  EXPECT_FALSE(proxy.isOpen());
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_EQ(status.line, 46u);
}

TEST_F(InterfaceProxies, MapUsesTheLowSixteenBitsOfTheRegion) {
  nBRIO000::tMapping mapping;
  tStatus status;
  const long page = sysconf(_SC_PAGESIZE);
  auto* bytes = static_cast<volatile std::uint8_t*>(controller.map(65537, page, 2, mapping, status));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_EQ(bytes[0], 1);  // region 1 of the device
  EXPECT_EQ(protectionOf(const_cast<std::uint8_t*>(bytes)), "r--s");
  EXPECT_EQ(mapping.length, static_cast<std::uint64_t>(page));
  controller.unmap(mapping);
  EXPECT_EQ(mapping.address, nullptr);

  void* writable = controller.map(0, page, 1, mapping, status);
  ASSERT_NE(writable, nullptr);
  EXPECT_EQ(protectionOf(writable), "rw-s");
  static_cast<std::uint8_t*>(writable)[0] = 0x5A;  // read-write mapping
  controller.unmap(mapping);

  nBRIO000::tMapping failed{reinterpret_cast<void*>(1), 0};
  EXPECT_EQ(controller.map(0, 0, 1, failed, status), nullptr);
  EXPECT_EQ(failed.address, nullptr);
  EXPECT_EQ(status.getCode(), brioerr_invalidParameter);
  EXPECT_EQ(status.line, 148u);
}

TEST_F(InterfaceProxies, ReadAndWriteReachTheDevice) {
  std::uint8_t buffer[8] = {};
  tStatus status;
  EXPECT_EQ(controller.read(buffer, sizeof buffer, status), 8);
  EXPECT_EQ(controller.write(buffer, sizeof buffer, status), 8);
  EXPECT_EQ(status.getCode(), 0);
  tInterfaceProxy_hostController closed;
  EXPECT_EQ(closed.read(buffer, 1, status), -1);
  EXPECT_EQ(status.getCode(), brioerr_deviceNotFound);
  EXPECT_EQ(status.line, 105u);
}

}  // namespace
