#include "source/user/tControllerUserSession.h"

#include <mutex>
#include <new>

#include "kestrel/kestrel.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tControllerUserSession";
constexpr kSourceLocation kNotOpen{kFile, 211};
constexpr kSourceLocation kNoMemory{kFile, 102};
constexpr kSourceLocation kNoInterface{kFile, 141};
constexpr kSourceLocation kNotSupported{kFile, 408};

tSessionModule<tControllerUserSession> gModule;

}  // namespace

tControllerUserSession* tControllerUserSession::openSession(tStatusReport& report) noexcept {
  if (report.code < 0 || !gModule.usable(report)) return nullptr;
  std::lock_guard guard(gModule.lock());
  if (tControllerUserSession* open = gModule.published()) {
    ++open->openCount_;
    return open;
  }
  auto* session = new (std::nothrow) tControllerUserSession();
  if (session == nullptr) {
    setCode(report, kestrelerr_memoryFull, kNoMemory);
    return nullptr;
  }
  session->construct(report);
  if (report.code < 0) {
    session->release();
    return nullptr;
  }
  gModule.publish(session);
  return session;
}

void tControllerUserSession::closeSession() noexcept {
  if (gModule.setupStatus().isError()) return;
  std::lock_guard guard(gModule.lock());
  tControllerUserSession* session = gModule.published();
  if (session == nullptr || --session->openCount_ > 0) return;
  gModule.publish(nullptr);
  session->release();
}

tControllerUserSession::tReference tControllerUserSession::currentSession(tStatusReport& report) noexcept {
  return gModule.current(report, kNotOpen);
}

void tControllerUserSession::construct(tStatusReport& report) noexcept {
  // The controller's device interfaces are found through the kernel driver's
  // device layer; without it no controller interface exists.
  setCode(report, kestrelerr_deviceNotAvailable, kNoInterface);
}

void tControllerUserSession::getAttributeU32(std::uint32_t, std::uint32_t&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::setAttributeU32(std::uint32_t, std::uint32_t, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::getAttributeI32(std::uint32_t, std::int32_t&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::getAttributeDBL(std::uint32_t, double&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::getAttributeUTF8(std::uint32_t, char*, std::uint64_t&, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::setAttributeUTF8(std::uint32_t, const char*, std::size_t, tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

void tControllerUserSession::performSelfTest(tStatusReport&) noexcept {}

void tControllerUserSession::updateFirmware(const std::uint8_t*, std::uint64_t, std::int32_t,
                                            tStatusReport& report) noexcept {
  if (report.code >= 0) setCode(report, kestrelerr_attributeNotSupported, kNotSupported);
}

}  // namespace nKESTREL1400
