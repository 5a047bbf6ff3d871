#include "source/user/tWatchdogUserSession.h"

#include <mutex>

#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/openInterface.h"
#include "platform/tDeviceInterfaceIterator.h"
#include "platform/tStatusReport.h"

namespace nKESTREL1400 {
namespace {

using nBRIO000::tIONotificationReader;

constexpr const char* kFile = "tWatchdogUserSession";
constexpr kSourceLocation kNotOpen{kFile, 188};
constexpr kSourceLocation kNoMemory{kFile, 96};
constexpr kSourceLocation kReentered{kFile, 90};
constexpr kSourceLocation kNoInterface{kFile, 131};
constexpr kSourceLocation kDuplicateInterface{kFile, 146};
constexpr kSourceLocation kMalformed{kFile, 262};
constexpr kSourceLocation kEmptyNotification{kFile, 268};

using tModule = tSessionModule<tWatchdogUserSession>;
tModule gModule(tModule::kHandleForks);

}  // namespace

tWatchdogUserSession::tWatchdogUserSession() noexcept : reader_(0, sessionStatus_), sessionLock_(sessionStatus_) {}

// A session whose set-up failed has started nothing: its destruction ends
// the registration and closes the interface, and no stop request reaches
// the driver.
tWatchdogUserSession* tWatchdogUserSession::openSession(tStatusReport& report) noexcept {
  return gModule.open(report, kReentered, kNoMemory);
}

void tWatchdogUserSession::closeSession() noexcept { gModule.close(&tWatchdogUserSession::shutDown); }

tWatchdogUserSession::tReference tWatchdogUserSession::currentSession(tStatusReport& report) noexcept {
  return gModule.current(report, kNotOpen);
}

void tWatchdogUserSession::construct(tStatusReport& report) noexcept {
  if (report.code < 0) return;
  tStatus local;
  tDeviceInterfaceIterator interfaces(kWatchdogInterface, local);
  if (local.isError()) {
    local.copyToReport(report);
    return;
  }
  if (interfaces.isEnd()) {
    setCode(report, kestrelerr_deviceNotAvailable, kNoInterface);
    return;
  }
  openInterface(interfaces, proxy_, local);
  if (local.isError()) {
    local.copyToReport(report);
    return;
  }
  interfaces.next();
  if (!interfaces.isEnd()) {
    proxy_.close();
    setCode(report, brioerr_resourceFailure, kDuplicateInterface);
    return;
  }
  if (!notification_.isRegistered()) notification_.enable(reader_, proxy_, kNotificationId, sessionStatus_);
  sessionStatus_.copyToReport(report);
}

// Runs under the module lock, which keeps new operations out. The session
// wakes its own waiters through the reader's wake-up pipe (a wait in
// progress, or one about to start, returns 3) without telling the driver
// anything, and lets every operation in flight return. Only then does the
// driver see the session end, in the order it expects: the timer stopped,
// the registration ended, the device closed. Nothing of the session follows.
void tWatchdogUserSession::shutDown() noexcept {
  tStatus ignored;
  reader_.cancel(ignored);
  waitForOperations();
  if (proxy_.isOpen()) {
    tStatus discarded;
    proxy_.stopWatchdogTimer(discarded);
  }
  notification_.disable();
  if (proxy_.isOpen()) proxy_.close();
}

tWatchdogUserSession::~tWatchdogUserSession() {
  notification_.disable();
  if (proxy_.isOpen()) proxy_.close();
  sessionLock_.lock();
  sessionLock_.unlock();
}

template <typename Request>
void tWatchdogUserSession::request(tStatusReport& report, Request send) noexcept {
  if (report.code < 0) return;
  tStatus local;
  send(local);
  local.copyToReport(report);
}

void tWatchdogUserSession::startTimer(tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) { proxy_.startWatchdogTimer(local); });
}

void tWatchdogUserSession::stopTimer(tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) { proxy_.stopWatchdogTimer(local); });
}

void tWatchdogUserSession::pet(tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) { proxy_.petWatchdog(local); });
}

void tWatchdogUserSession::cancelWaitForNotification(tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) { proxy_.cancelWaitForWatchdogNotification(local); });
}

void tWatchdogUserSession::getAttributeU32(std::uint32_t attribute, std::uint32_t& value,
                                           tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) {
    std::uint32_t size = sizeof value;
    proxy_.getAttribute(attribute, &value, size, local);
  });
}

void tWatchdogUserSession::setAttributeU32(std::uint32_t attribute, std::uint32_t value,
                                           tStatusReport& report) noexcept {
  request(report, [&](tStatus& local) { proxy_.setAttribute(attribute, &value, sizeof value, local); });
}

// Waits are served one at a time. A message with more than one data byte is
// malformed and ends the session's notifications with -26937 for good, as a
// failing socket ends them with its code. A data notification without a
// byte, and lost notifications (-52019), fail this wait only. A wake-up
// without any message (the socket hung up) ends the stream like the
// driver's end message.
void tWatchdogUserSession::waitForNotification(std::int32_t& value, tStatusReport& report) noexcept {
  if (report.code < 0) return;
  std::lock_guard guard(sessionLock_);
  if (notificationsEnded_) {
    value = kNotificationsEnded;
    return;
  }
  tIONotificationReader::tKind kind = tIONotificationReader::kCancelled;
  bool kindSeen = false;
  unsigned char payload[tIONotificationReader::kDataSize] = {};
  std::uint32_t size = 0;
  if (sessionStatus_.isNotError()) {
    kind = static_cast<tIONotificationReader::tKind>(-1);
    tStatus received;
    reader_.wait(kind, payload, size, received, -1);
    // The notification queue overflowed: this wait reports the loss, the
    // next one receives again.
    if (received.getCode() == brioerr_noBuffers) {
      received.copyToReport(report);
      return;
    }
    sessionStatus_.mergeFrom(received);
    kindSeen = kind == tIONotificationReader::kNotify || kind == tIONotificationReader::kEnd ||
               kind == tIONotificationReader::kCancelled;
  }
  if (size > 1) {
    sessionStatus_.setCode(kestrelerr_ioError, kMalformed);
    sessionStatus_.copyToReport(report);
    return;
  }
  if (sessionStatus_.isNotError()) {
    if (kindSeen && kind == tIONotificationReader::kNotify) {
      if (size == 0) {
        setCode(report, kestrelerr_ioError, kEmptyNotification);
        return;
      }
      value = payload[0];
    } else {
      value = kNotificationsEnded;
      notificationsEnded_ = true;
    }
  }
  sessionStatus_.copyToReport(report);
}

}  // namespace nKESTREL1400
