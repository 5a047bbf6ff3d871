// Notifications from the simulated driver: registration, the message
// checks of the reader, wake-ups and the reader thread.
#include <sys/prctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "platform/tIONotification.h"
#include "platform/tThreadedIONotificationReader.h"
#include "ioNotificationFixture.h"

using namespace nKESTREL1400;
using nKESTREL1400::nBRIO000::tIONotification;
using nKESTREL1400::nBRIO000::tIONotificationReader;
using nKESTREL1400::nBRIO000::tThreadedIONotificationReader;
using tKind = tIONotificationReader::tKind;

namespace {

TEST_F(IONotifications, ReaderBindsAPortAndRegistersIt) {
  tStatus status;
  tIONotificationReader reader(0, status);
  ASSERT_EQ(status.getCode(), 0);
  EXPECT_NE(reader.portId(), 0u);

  tIONotification notification;
  notification.enable(reader, proxy, kWatchdogId, status);
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_TRUE(notification.isRegistered());
  const auto log = sim().requests(nDriverWire::kRegisterNotification);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].input,
            RecordBytes(16).address(0, &notification).u32(8, reader.portId()).u32(12, kWatchdogId).bytes());

  sim().sendNotification(kWatchdogId, std::vector<std::uint8_t>{5});
  const auto waited = waitOn(reader);
  EXPECT_EQ(waited.notification, &notification);
  EXPECT_EQ(waited.kind, tKind::kNotify);
  EXPECT_EQ(waited.size, 1u);
  EXPECT_EQ(data[0], 5);
}

TEST_F(IONotifications, ConstructionFailures) {
  sim().failCalls(nKESTRELSIM::tCall::kSocket, 1, EMFILE);
  tStatus status;
  tIONotificationReader noSocket(0, status);
  EXPECT_EQ(status.getCode(), brioerr_memoryFull);
  EXPECT_EQ(status.line, 60u);

  sim().failCalls(nKESTRELSIM::tCall::kBind, 1, EADDRINUSE);
  tStatus bindStatus;
  tIONotificationReader notBound(0, bindStatus);
  EXPECT_EQ(bindStatus.getCode(), brioerr_alreadyExists);
  EXPECT_EQ(bindStatus.line, 84u);
  EXPECT_EQ(notBound.socketDescriptor(), -1);

  tStatus depthStatus;
  tIONotificationReader tooDeep(0x100000000ull, depthStatus);
  EXPECT_EQ(depthStatus.getCode(), brioerr_invalidParameter);
  EXPECT_EQ(depthStatus.line, 51u);
}

TEST_F(IONotifications, TimeoutAndCancel) {
  tStatus status;
  tIONotificationReader reader(0, status);
  const auto timedOut = waitOn(reader, 0);
  EXPECT_EQ(timedOut.notification, nullptr);
  EXPECT_EQ(timedOut.status.getCode(), brioerr_timeout);
  EXPECT_EQ(timedOut.status.line, 199u);

  reader.cancel(status);
  reader.cancel(status);
  for (int i = 0; i < 2; ++i) {
    const auto cancelled = waitOn(reader, 0);
    EXPECT_EQ(cancelled.kind, tKind::kCancelled);
    EXPECT_EQ(cancelled.size, 0u);
    EXPECT_EQ(cancelled.notification, nullptr);
    EXPECT_EQ(cancelled.status.getCode(), 0);
  }
  EXPECT_EQ(waitOn(reader, 0).status.getCode(), brioerr_timeout);

  sim().failCalls(nKESTRELSIM::tCall::kPoll, 1, EBADF);
  EXPECT_EQ(waitOn(reader, 0).status.getCode(), brioerr_systemError);
}

// A reader with the watchdog notification registered.
class RegisteredNotification : public IONotifications {
 protected:
  void SetUp() override {
    IONotifications::SetUp();
    notification.enable(reader, proxy, kWatchdogId, status);
    ASSERT_EQ(status.getCode(), 0);
  }
  tStatus status;
  tIONotificationReader reader{0, status};
  tIONotification notification;
};

// Each malformed message is passed over; the valid one behind it arrives.
TEST_F(RegisteredNotification, MalformedMessagesAreSkipped) {
  const auto valid = message(notification, 1, {9});

  auto netlinkError = valid;
  netlinkError[4] = 2;  // type 2: a netlink error message
  auto fifteenBytes = std::vector<std::uint8_t>(valid.begin(), valid.begin() + 15);
  auto overlong = valid;
  overlong[0] = static_cast<std::uint8_t>(valid.size() + 1);  // length beyond the bytes received
  auto headerOnly = std::vector<std::uint8_t>(valid.begin(), valid.begin() + 24);
  headerOnly[0] = 24;  // a complete netlink message without the event header
  auto dataBeyondLength = message(notification, 1, {1, 2, 3, 4});
  dataBeyondLength[32] = 20;  // dataLength 20 in a message of 40 bytes
  auto forged = message(notification, 1, {7});
  const std::uint64_t forgedCookie = 0xDEADBEEF;
  std::memcpy(forged.data() + 24, &forgedCookie, sizeof forgedCookie);

  for (const auto& skipped : {netlinkError, fifteenBytes, overlong, headerOnly, dataBeyondLength, forged}) {
    sendRaw(reader, skipped);
    sendRaw(reader, valid);
    const auto waited = waitOn(reader);
    EXPECT_EQ(waited.status.getCode(), 0);
    EXPECT_EQ(waited.notification, &notification);
    EXPECT_EQ(waited.size, 1u);
    EXPECT_EQ(data[0], 9);
  }
  // A skipped message alone leaves the wait waiting: it times out.
  sendRaw(reader, forged);
  EXPECT_EQ(waitOn(reader, 50).status.getCode(), brioerr_timeout);
}

TEST_F(RegisteredNotification, EventTypeAndDataLengthChecks) {

  sendRaw(reader, message(notification, 3));
  auto waited = waitOn(reader);
  EXPECT_EQ(waited.notification, nullptr);
  EXPECT_EQ(waited.status.getCode(), brioerr_notSupported);
  EXPECT_EQ(waited.status.line, 154u);

  std::vector<std::uint8_t> full(32);
  for (std::size_t i = 0; i < full.size(); ++i) full[i] = static_cast<std::uint8_t>(i + 1);
  sendRaw(reader, message(notification, 2, full));
  waited = waitOn(reader);
  EXPECT_EQ(waited.kind, tKind::kEnd);
  EXPECT_EQ(waited.size, 32u);
  EXPECT_EQ(std::memcmp(data, full.data(), 32), 0);

  auto tooLong = message(notification, 1, full);
  tooLong[32] = 33;
  tooLong.resize(72);
  tooLong[0] = 72;
  sendRaw(reader, tooLong);
  waited = waitOn(reader);
  EXPECT_EQ(waited.kind, tKind::kNotify);
  EXPECT_EQ(waited.status.getCode(), brioerr_ioFailure);
  EXPECT_EQ(waited.status.line, 160u);
}

TEST_F(RegisteredNotification, DisableEndsTheRegistrationWithTheEndMessage) {
  notification.disable();
  EXPECT_FALSE(notification.isRegistered());
  const auto unregistered = sim().requests(0xFF01);
  ASSERT_EQ(unregistered.size(), 1u);
  EXPECT_EQ(unregistered[0].argument, kWatchdogId);
  // The end message still names the disabled notification; nothing after it does.
  auto waited = waitOn(reader);
  EXPECT_EQ(waited.kind, tKind::kEnd);
  EXPECT_EQ(waited.notification, &notification);
  sendRaw(reader, message(notification, 1, {1}));
  EXPECT_EQ(waitOn(reader, 50).status.getCode(), brioerr_timeout);

  // With the proxy closed, disabling skips the driver.
  notification.enable(reader, proxy, kWatchdogId, status);
  sim().clearRequests();
  proxy.close();
  notification.disable();
  EXPECT_FALSE(notification.isRegistered());
  EXPECT_TRUE(sim().requests(0xFF01).empty());
}

TEST_F(RegisteredNotification, ClosingTheDeviceEndsItsRegistrations) {
  proxy.close();
  const auto waited = waitOn(reader);
  EXPECT_EQ(waited.kind, tKind::kEnd);
  EXPECT_EQ(waited.notification, &notification);
  EXPECT_TRUE(sim().registrations().empty());
}

TEST_F(IONotifications, RefusedRegistration) {
  tStatus status;
  tIONotificationReader reader(0, status);
  tIONotification notification;
  sim().failRequests(nDriverWire::kRegisterNotification, 1, {EPERM, 0});
  notification.enable(reader, proxy, kWatchdogId, status);
  EXPECT_FALSE(notification.isRegistered());
  EXPECT_EQ(status.getCode(), brioerr_systemError);
  EXPECT_EQ(status.line, 245u);
  sendRaw(reader, message(notification, 1, {1}));
  EXPECT_EQ(waitOn(reader, 50).status.getCode(), brioerr_timeout);
}

}  // namespace
