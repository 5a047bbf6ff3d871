#include "source/user/tWatchdogUserSession.h"

#include <mutex>
#include <new>

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tWatchdogUserSession";
constexpr kSourceLocation kNotOpen{kFile, 188};
constexpr kSourceLocation kNoMemory{kFile, 96};
constexpr kSourceLocation kNoInterface{kFile, 131};

tSessionModule<tWatchdogUserSession> gModule;

}  // namespace

tWatchdogUserSession* tWatchdogUserSession::openSession(tStatusReport& status) noexcept {
  if (status.code < 0 || !gModule.usable(status)) return nullptr;
  std::lock_guard guard(gModule.lock());
  auto* session = new (std::nothrow) tWatchdogUserSession();
  if (session == nullptr) {
    setCode(status, kestrelerr_memoryFull, kNoMemory);
    return nullptr;
  }
  session->construct(status);
  if (status.code < 0) {
    session->release();
    return nullptr;
  }
  gModule.publish(session);
  return session;
}

void tWatchdogUserSession::closeSession() noexcept {
  if (gModule.setupStatus().isError()) return;
  std::lock_guard guard(gModule.lock());
  tWatchdogUserSession* session = gModule.published();
  if (session == nullptr) return;
  gModule.publish(nullptr);
  session->release();
}

tWatchdogUserSession::tReference tWatchdogUserSession::currentSession(tStatusReport& status) noexcept {
  return gModule.current(status, kNotOpen);
}

void tWatchdogUserSession::construct(tStatusReport& status) noexcept {
  // The watchdog interface is found through the kernel driver's device
  // layer; without it no watchdog interface exists.
  setCode(status, kestrelerr_deviceNotAvailable, kNoInterface);
}

void tWatchdogUserSession::startTimer(tStatusReport&) noexcept {}
void tWatchdogUserSession::stopTimer(tStatusReport&) noexcept {}
void tWatchdogUserSession::pet(tStatusReport&) noexcept {}
void tWatchdogUserSession::cancelWaitForNotification(tStatusReport&) noexcept {}
void tWatchdogUserSession::waitForNotification(std::int32_t&, tStatusReport&) noexcept {}
void tWatchdogUserSession::getAttributeU32(std::uint32_t, std::uint32_t&, tStatusReport&) noexcept {}
void tWatchdogUserSession::setAttributeU32(std::uint32_t, std::uint32_t, tStatusReport&) noexcept {}

}  // namespace nKESTREL1400
