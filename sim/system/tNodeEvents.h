// What a model does beyond its answer, done by the simulator for the
// node the model serves: notifications reach the registrations made on
// that node, accepted firmware images are announced.
#pragma once

#include <cstdint>
#include <span>

#include "platform/driverWireFormat.h"
#include "sim/models/iDriverEvents.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

class tSimulator::tNodeEvents : public iDriverEvents {
 public:
  tNodeEvents(tSimulator& simulator, const tDeviceNode* node) : simulator_(simulator), node_(node) {}
  void notify(std::uint32_t notificationId, std::span<const std::uint8_t> data) override {
    simulator_.deliver(node_, notificationId, nKESTREL1400::nDriverWire::kEventNotify, data);
  }
  void endNotifications(std::uint32_t notificationId) override {
    simulator_.deliver(node_, notificationId, nKESTREL1400::nDriverWire::kEventEnd, {});
  }
  void imageReceived(const char* target, std::span<const std::uint8_t> image) override {
    simulator_.images_.announce(simulator_.sandbox_.root(), target, image);
  }

 private:
  tSimulator& simulator_;
  const tDeviceNode* node_;
};

}  // namespace nKESTRELSIM
