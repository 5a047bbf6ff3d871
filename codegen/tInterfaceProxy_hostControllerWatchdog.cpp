#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"

#include "codegen/hostControllerRequests.h"
#include "platform/driverWireFormat.h"

namespace nKESTREL1400 {
namespace {

constexpr const char* kFile = "tInterfaceProxy_hostControllerWatchdog";

}  // namespace

using namespace nDriverWire;

void tInterfaceProxy_hostControllerWatchdog::petWatchdog(tStatus& status) noexcept {
  statusOnlyRequest(*this, kPetWatchdog, status, kFile, 60);
}

void tInterfaceProxy_hostControllerWatchdog::startWatchdogTimer(tStatus& status) noexcept {
  statusOnlyRequest(*this, kStartWatchdogTimer, status, kFile, 85);
}

void tInterfaceProxy_hostControllerWatchdog::stopWatchdogTimer(tStatus& status) noexcept {
  statusOnlyRequest(*this, kStopWatchdogTimer, status, kFile, 110);
}

void tInterfaceProxy_hostControllerWatchdog::cancelWaitForWatchdogNotification(tStatus& status) noexcept {
  statusOnlyRequest(*this, kCancelWaitForWatchdogNotification, status, kFile, 135);
}

void tInterfaceProxy_hostControllerWatchdog::getAttribute(std::uint32_t attributeId, void* valueAddress,
                                                          std::uint32_t& valueSize, tStatus& status) noexcept {
  getAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 164);
}

void tInterfaceProxy_hostControllerWatchdog::setAttribute(std::uint32_t attributeId, const void* valueAddress,
                                                          std::uint32_t valueSize, tStatus& status) noexcept {
  setAttributeRequest(*this, attributeId, valueAddress, valueSize, status, kFile, 192);
}

}  // namespace nKESTREL1400
