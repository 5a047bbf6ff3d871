// The driver models behind the proxies: stateful answers of the watchdog,
// the trigger router and the controller.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "codegen/tInterfaceProxy_hostController.h"
#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "codegen/tInterfaceProxy_routing.h"
#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "platform/tIONotification.h"
#include "platform/tIONotificationReader.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"
#include "simulatedController.h"

using namespace nKESTREL1400;
using nKESTREL1400::nBRIO000::tIONotification;
using nKESTREL1400::nBRIO000::tIONotificationReader;
using nKESTREL1400::nDriverWire::tReservationConflict;
using nKESTREL1400::nDriverWire::tRouteSeed;
using nKESTREL1400::nDriverWire::tRouteSegment;
using nKESTRELSIM::tWatchdogModel;

namespace {

template <class Proxy>
void openOn(Proxy& proxy, const std::string& interfaceName) {
  tStatus status;
  proxy.open(nKESTRELSIM::tSimulator::instance().addInterface(interfaceName).devicePath.c_str(), status);
  ASSERT_EQ(status.getCode(), 0);
}

class DriverModels : public SimulatedController {
 protected:
  // One data byte of the next notification on the reader.
  int nextEventByte(tIONotificationReader& reader) {
    tIONotificationReader::tKind kind = tIONotificationReader::kCancelled;
    std::uint8_t data[32] = {};
    std::uint32_t size = 0;
    tStatus status;
    reader.wait(kind, data, size, status, 1000);
    return status.isError() || kind != tIONotificationReader::kNotify || size == 0 ? -1 : data[0];
  }

  std::uint32_t calculate(tInterfaceProxy_routing& router, std::uint64_t session, std::uint32_t destination) {
    const tRouteSeed seed{2, 1, 0, {}};
    tRouteSegment segments[2];
    std::uint32_t count = 2;
    tStatus status;
    const std::uint32_t ticket = router.calculateRoute(session, &seed, 1, &destination, 1, 0, segments, count, status);
    EXPECT_EQ(status.getCode(), 0);
    return ticket;
  }
};

TEST_F(DriverModels, WatchdogTimerStates) {
  tInterfaceProxy_hostControllerWatchdog watchdog;
  openOn(watchdog, nKESTREL1400::kWatchdogInterface);
  tStatus status;
  tIONotificationReader reader(0, status);
  tIONotification notification;
  notification.enable(reader, watchdog, 0x70, status);

  watchdog.startWatchdogTimer(status);
  watchdog.petWatchdog(status);
  EXPECT_EQ(sim().watchdog().state(), tWatchdogModel::tState::kRunning);
  EXPECT_EQ(sim().watchdog().petCount(), 1u);

  sim().expireWatchdog();
  EXPECT_EQ(nextEventByte(reader), tWatchdogModel::kExpiredEvent);
  tStatus expired;
  watchdog.petWatchdog(expired);
  EXPECT_EQ(expired.getCode(), brioerr_busy);

  watchdog.cancelWaitForWatchdogNotification(status);
  EXPECT_EQ(nextEventByte(reader), tWatchdogModel::kCancelledEvent);
  watchdog.stopWatchdogTimer(status);
  EXPECT_EQ(sim().watchdog().state(), tWatchdogModel::tState::kStopped);

  // Any attribute id is the driver's: written ids read back.
  std::uint32_t value = 30, size = 4;
  watchdog.setAttribute(0x2200, &value, 4, status);
  value = 0;
  watchdog.getAttribute(0x2200, &value, size, status);
  EXPECT_EQ(value, 30u);
  EXPECT_EQ(status.getCode(), 0);
}

TEST_F(DriverModels, RouterReservationsConflictBetweenSessions) {
  tInterfaceProxy_routing router;
  openOn(router, nKESTREL1400::kTriggerRouterInterface);
  const std::uint32_t mine = calculate(router, 0xA, 5);
  const std::uint32_t theirs = calculate(router, 0xB, 5);
  tReservationConflict conflicts[8] = {};
  std::uint32_t count = 8;
  tStatus status;
  router.reserveRoute(mine, conflicts, count, status);
  router.programRoute(mine, status);
  EXPECT_EQ(status.getCode(), 0);

  tStatus refused;
  count = 8;
  router.reserveRoute(theirs, conflicts, count, refused);
  EXPECT_EQ(refused.getCode(), quillerr_reservationConflict);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(conflicts[0].sessionId, 0xAu);
  EXPECT_EQ(conflicts[0].ticket, mine);

  tStatus order;
  router.unreserveRoute(mine, order);  // still programmed
  EXPECT_EQ(order.getCode(), brioerr_invalidParameter);
  tStatus teardown;
  router.unprogramRoute(mine, teardown);
  router.unreserveRoute(mine, teardown);
  router.destroyRoute(mine, teardown);
  EXPECT_EQ(teardown.getCode(), 0);
  EXPECT_EQ(sim().triggerRouter().routes().count(mine), 0u);
}

TEST_F(DriverModels, RouterPathNameAndDemotion) {
  tInterfaceProxy_routing router;
  openOn(router, nKESTREL1400::kTriggerRouterInterface);
  const std::uint32_t ticket = calculate(router, 1, 7);
  std::uint32_t path[2] = {};
  std::uint32_t count = 1;
  tStatus small;
  router.getRouteTerminalPath(ticket, path, count, small);
  EXPECT_EQ(small.getCode(), brioerr_noBuffers);
  EXPECT_EQ(count, 2u);
  tStatus status;
  router.getRouteTerminalPath(ticket, path, count, status);
  EXPECT_EQ(path[0], 2u);
  EXPECT_EQ(path[1], 7u);

  char name[128] = {};
  router.getTopographyName(name, sizeof name, status);
  EXPECT_STREQ(name, "pxiContTriggerRouter");

  tIONotificationReader reader(0, status);
  tIONotification demotion;
  demotion.enable(reader, router, 0x80000000u, status);
  EXPECT_TRUE(sim().demoteRoute(ticket));
  EXPECT_EQ(nextEventByte(reader), static_cast<int>(ticket & 0xFF));
  EXPECT_FALSE(sim().demoteRoute(ticket + 100));
}

// A profile's routes are demoted at every interval of the run: each
// scripted demotion gives them back the state the profile seeds; a
// program's route is demoted once and stays calculated.
TEST(ScriptedDemotions, AProfilesRoutesAreDemotedAtEveryInterval) {
  using tRouteState = nKESTRELSIM::tTriggerRouterModel::tRouteState;
  struct tDemotions : nKESTRELSIM::iDriverEvents {
    std::vector<std::uint32_t> tickets;
    void notify(std::uint32_t, std::span<const std::uint8_t> data) override {
      std::uint32_t ticket = 0;
      std::memcpy(&ticket, data.data(), sizeof ticket);
      tickets.push_back(ticket);
    }
    void endNotifications(std::uint32_t) override {}
  } demotions;
  nKESTRELSIM::tTriggerRouterModel router;
  router.seedRoute(1, {0, 2, {4}, 0, tRouteState::kProgrammed});
  router.seedRoute(2, {0, 2, {5}, 0, tRouteState::kCalculated});
  router.addRoute(3, {7, 2, {6}, 0, tRouteState::kReserved});
  router.setDemotionInterval(std::chrono::milliseconds(1));
  for (int interval = 0; interval < 3; ++interval) {
    std::this_thread::sleep_until(*router.deadline());
    router.actIfDue(demotions);
  }
  EXPECT_EQ(demotions.tickets, (std::vector<std::uint32_t>{1, 3, 1, 1}));
  EXPECT_EQ(router.routes().at(1).state, tRouteState::kProgrammed);
  EXPECT_EQ(router.routes().at(2).state, tRouteState::kCalculated);
  EXPECT_EQ(router.routes().at(3).state, tRouteState::kCalculated);
}

TEST_F(DriverModels, ControllerDeliversSmBiosInTwoPasses) {
  tInterfaceProxy_hostController controller;
  openOn(controller, nKESTREL1400::kControllerInterface);
  std::uint32_t identSize = 0, tableSize = 0;
  tStatus status;
  controller.getSmBiosData(nullptr, identSize, nullptr, tableSize, status);
  EXPECT_EQ(status.getCode(), brioerr_resourceFailure);  // no table yet

  const std::vector<std::uint8_t> table{127, 4, 0, 0, 0, 0};
  sim().hostController().setSmBios("ident", table);
  tStatus sizes;
  controller.getSmBiosData(nullptr, identSize, nullptr, tableSize, sizes);
  ASSERT_EQ(sizes.getCode(), smbioserr_bufferTooSmall);
  std::vector<char> ident(identSize);
  std::vector<std::uint8_t> received(tableSize);
  tStatus second;
  controller.getSmBiosData(ident.data(), identSize, received.data(), tableSize, second);
  EXPECT_EQ(second.getCode(), 0);
  EXPECT_STREQ(ident.data(), "ident");
  EXPECT_EQ(received, table);

  const std::uint8_t image[3] = {1, 2, 3};
  controller.updateFirmware(image, 3, second);
  ASSERT_EQ(sim().hostController().receivedImages().size(), 1u);
  EXPECT_EQ(sim().hostController().receivedImages()[0].size(), 3u);
}

TEST_F(DriverModels, UnknownRequestsAndWrongSizes) {
  tInterfaceProxy_hostController controller;
  openOn(controller, nKESTREL1400::kControllerInterface);
  std::uint32_t input = 0, output = 0;
  tStatus status;
  controller.ioctl(0xC0207B7F, &input, 4, &output, 4, status);
  EXPECT_EQ(status.getCode(), brioerr_notSupported);
  tStatus wrongSize;
  controller.ioctl(nDriverWire::kGetAttribute, &input, 4, &output, 4, wrongSize);
  EXPECT_EQ(wrongSize.getCode(), brioerr_invalidParameter);
}

}  // namespace
