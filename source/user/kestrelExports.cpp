// The controller and watchdog C interface: thin shells that check the
// handle, run one session operation with a per-call status report and
// return its code. The report is released when the call ends.
#include <cstring>

#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"
#include "platform/triggerRouterPath.h"
#include "source/user/tControllerUserSession.h"
#include "source/user/tWatchdogUserSession.h"

using nKESTREL1400::tControllerUserSession;
using nKESTREL1400::tScopedStatusReport;
using nKESTREL1400::tWatchdogUserSession;

namespace {

constexpr std::size_t kMaximumTextSize = 256;  // 255 bytes and the NUL

// Runs `operation(session, report)` on the open session of `Session`.
template <class Session, class Operation>
std::int32_t onSession(Operation operation) {
  tScopedStatusReport report;
  if (auto session = Session::currentSession(report)) operation(*session.get(), report.get());
  return report.code();
}

template <class Operation>
std::int32_t onController(Operation operation) {
  return onSession<tControllerUserSession>(operation);
}

template <class Operation>
std::int32_t onWatchdog(Operation operation) {
  return onSession<tWatchdogUserSession>(operation);
}

}  // namespace

extern "C" {

KESTREL_API int32_t KESTREL_openController(tKestrelHandle* handle) {
  if (handle == nullptr) return brioerr_invalidParameter;
  tScopedStatusReport report;
  tControllerUserSession::openSession(report);
  if (report.code() >= 0) *handle = kControllerHandle;
  return report.code();
}

KESTREL_API void KESTREL_closeController(tKestrelHandle handle) {
  if (handle == kControllerHandle) tControllerUserSession::closeSession();
}

KESTREL_API int32_t KESTREL_getAttributeU32(tKestrelHandle handle, uint32_t attribute, uint32_t* value) {
  if (handle != kWatchdogHandle && handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (value == nullptr) return brioerr_invalidParameter;
  if (handle == kWatchdogHandle) {
    return onWatchdog([&](auto& session, auto& report) { session.getAttributeU32(attribute, *value, report); });
  }
  return onController([&](auto& session, auto& report) { session.getAttributeU32(attribute, *value, report); });
}

KESTREL_API int32_t KESTREL_setAttributeU32(tKestrelHandle handle, uint32_t attribute, uint32_t value) {
  if (handle != kWatchdogHandle && handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (handle == kWatchdogHandle) {
    return onWatchdog([&](auto& session, auto& report) { session.setAttributeU32(attribute, value, report); });
  }
  return onController([&](auto& session, auto& report) { session.setAttributeU32(attribute, value, report); });
}

KESTREL_API int32_t KESTREL_getAttributeI32(tKestrelHandle handle, uint32_t attribute, int32_t* value) {
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (value == nullptr) return brioerr_invalidParameter;
  return onController([&](auto& session, auto& report) { session.getAttributeI32(attribute, *value, report); });
}

KESTREL_API int32_t KESTREL_getAttributeDBL(tKestrelHandle handle, uint32_t attribute, double* value) {
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (value == nullptr) return brioerr_invalidParameter;
  return onController([&](auto& session, auto& report) { session.getAttributeDBL(attribute, *value, report); });
}

KESTREL_API int32_t KESTREL_getAttributeUTF8(tKestrelHandle handle, uint32_t attribute, char* buffer,
                                             uint64_t* length) {
  if (attribute == kTriggerRouterPathAttribute) {
    if (length == nullptr) return brioerr_invalidParameter;
    return nKESTREL1400::getTriggerRouterPath(buffer, *length);
  }
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (length == nullptr) return brioerr_invalidParameter;
  // A null buffer has no room, whatever the length says.
  const uint64_t given = buffer == nullptr ? 0 : *length;
  uint64_t capacity = given;
  const int32_t code = onController(
      [&](auto& session, auto& report) { session.getAttributeUTF8(attribute, buffer, capacity, report); });
  if (capacity != given) *length = capacity;
  return code;
}

KESTREL_API int32_t KESTREL_setAttributeUTF8(tKestrelHandle handle, uint32_t attribute, const char* value) {
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (value == nullptr) return brioerr_invalidParameter;
  tScopedStatusReport report;
  auto session = tControllerUserSession::currentSession(report);
  if (report.isError()) return kestrelerr_deviceNotAvailable;
  const std::size_t size = strnlen(value, kMaximumTextSize) + 1;
  if (size > kMaximumTextSize) return kestrelerr_stringTooLong;
  session->setAttributeUTF8(attribute, value, size, report);
  return report.code();
}

KESTREL_API int32_t KESTREL_performSelfTest(tKestrelHandle handle) {
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  return onController([&](auto& session, auto& report) { session.performSelfTest(report); });
}

KESTREL_API int32_t KESTREL_updateFirmware2(tKestrelHandle handle, const uint8_t* image, uint64_t size,
                                            int32_t force) {
  if (handle != kControllerHandle) return kestrelerr_invalidHandle;
  if (image == nullptr) return brioerr_invalidParameter;
  return onController([&](auto& session, auto& report) { session.updateFirmware(image, size, force, report); });
}

KESTREL_API int32_t KESTREL_updateFirmware(tKestrelHandle handle, const uint8_t* image, uint64_t size) {
  return KESTREL_updateFirmware2(handle, image, size, 1);
}

KESTREL_API int32_t KESTREL_openWatchdog(tKestrelHandle* handle) {
  if (handle == nullptr) return brioerr_invalidParameter;
  tScopedStatusReport report;
  tWatchdogUserSession::openSession(report);
  if (report.code() >= 0) *handle = kWatchdogHandle;
  return report.code();
}

KESTREL_API void KESTREL_closeWatchdog(tKestrelHandle handle) {
  if (handle == kWatchdogHandle) tWatchdogUserSession::closeSession();
}

KESTREL_API int32_t KESTREL_startWatchdogTimer(tKestrelHandle handle) {
  if (handle != kWatchdogHandle) return kestrelerr_invalidHandle;
  return onWatchdog([&](auto& session, auto& report) { session.startTimer(report); });
}

KESTREL_API int32_t KESTREL_stopWatchdogTimer(tKestrelHandle handle) {
  if (handle != kWatchdogHandle) return kestrelerr_invalidHandle;
  return onWatchdog([&](auto& session, auto& report) { session.stopTimer(report); });
}

KESTREL_API int32_t KESTREL_petWatchdog(tKestrelHandle handle) {
  if (handle != kWatchdogHandle) return kestrelerr_invalidHandle;
  return onWatchdog([&](auto& session, auto& report) { session.pet(report); });
}

KESTREL_API int32_t KESTREL_waitForWatchdogNotification(tKestrelHandle handle, int32_t* notification) {
  if (handle != kWatchdogHandle) return kestrelerr_invalidHandle;
  if (notification == nullptr) return brioerr_invalidParameter;
  return onWatchdog([&](auto& session, auto& report) { session.waitForNotification(*notification, report); });
}

KESTREL_API int32_t KESTREL_cancelWaitForWatchdogNotification(tKestrelHandle handle) {
  if (handle != kWatchdogHandle) return kestrelerr_invalidHandle;
  return onWatchdog([&](auto& session, auto& report) { session.cancelWaitForNotification(report); });
}

}  // extern "C"
