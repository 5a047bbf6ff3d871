// Fixture of the notification tests: a reader's view of the simulated
// watchdog interface.
#pragma once

#include <cstdint>
#include <vector>

#include "codegen/tInterfaceProxy_hostControllerWatchdog.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/tIONotification.h"
#include "platform/tIONotificationReader.h"
#include "simulatedController.h"

constexpr std::uint32_t kWatchdogId = 0x70;

class IONotifications : public SimulatedController {
 protected:
  void SetUp() override {
    SimulatedController::SetUp();
    const auto& node = sim().addInterface(nKESTREL1400::kWatchdogInterface);
    nKESTREL1400::tStatus status;
    proxy.open(node.devicePath.c_str(), status);
    ASSERT_EQ(status.getCode(), 0);
  }

  // The result of one wait with the given timeout.
  struct tWaited {
    nKESTREL1400::nBRIO000::tIONotification* notification;
    nKESTREL1400::nBRIO000::tIONotificationReader::tKind kind;
    std::uint32_t size;
    nKESTREL1400::tStatus status;
  };
  tWaited waitOn(nKESTREL1400::nBRIO000::tIONotificationReader& reader, int timeoutMs = 1000) {
    tWaited result{nullptr, nKESTREL1400::nBRIO000::tIONotificationReader::kNotify, 99, {}};
    result.notification = reader.wait(result.kind, data, result.size, result.status, timeoutMs);
    return result;
  }

  // A message as the driver would send it, for the notification.
  std::vector<std::uint8_t> message(const nKESTREL1400::nBRIO000::tIONotification& notification, std::uint16_t eventType,
                                    std::vector<std::uint8_t> payload = {}) {
    return nKESTRELSIM::tSimulator::buildMessage(reinterpret_cast<std::uint64_t>(&notification), eventType, payload);
  }

  void sendRaw(const nKESTREL1400::nBRIO000::tIONotificationReader& reader, const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(sim().sendRaw(reader.portId(), bytes));
  }

  nKESTREL1400::tInterfaceProxy_hostControllerWatchdog proxy;
  std::uint8_t data[40] = {};
};

