#include "sim/system/tSimulator.h"

#include <linux/netlink.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/driver/tDriverClient.h"
#include "sim/libc/realLibc.h"
#include "sim/libc/tReentryGuard.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/models/tSimulatedClock.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"
#include "sim/models/userMemory.h"
#include "sim/system/tNodeEvents.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

std::atomic<tSimulator*> gActive{nullptr};

}  // namespace

tSimulator& tSimulator::instance() {
  static tSimulator* simulator = [] {
    auto* created = new tSimulator();  // outlives every static destructor
    pthread_atfork(&lockForFork, &unlockAfterFork, &restartInChild);
    return created;
  }();
  return *simulator;
}

namespace {
// Created at load, before the program can call the library: the library's
// fork handlers, installed later, then take its locks before this one.
[[maybe_unused]] tSimulator& gLoaded = tSimulator::instance();
}  // namespace

// A fork sees the simulator between calls, never halfway through one. The
// child goes on with its own copy of the simulated driver; its lock starts
// again, since the owner recorded in the parent's is not a thread of the child.
void tSimulator::lockForFork() {
  tSimulator& simulator = instance();
  simulator.lock_.lock();
  if (simulator.driver_) {
    tReentryGuard guard;
    simulator.driver_->prepareFork();
  }
}

void tSimulator::unlockAfterFork() {
  tSimulator& simulator = instance();
  if (simulator.driver_) {
    tReentryGuard guard;
    simulator.driver_->parentAfterFork();
  }
  simulator.lock_.unlock();
}

void tSimulator::restartInChild() {
  tSimulator& simulator = instance();
  new (&simulator.lock_) std::recursive_mutex();
  if (simulator.driver_) {
    tReentryGuard guard;
    simulator.driver_->childAfterFork();
  }
}

tSimulator* tSimulator::active() noexcept { return gActive.load(std::memory_order_acquire); }

bool tSimulator::isStarted() const noexcept { return active() == this; }

void tSimulator::start(const std::string& root, bool createRoot) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  forgetEverything();
  sandbox_.open(root, createRoot);
  gActive.store(this, std::memory_order_release);
}

void tSimulator::stop() {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  forgetEverything();
}

void tSimulator::forgetEverything() {
  gActive.store(nullptr, std::memory_order_release);
  tSimulatedClock::instance().useRealTime();
  hub_.clear();
  registry_.clear();
  driver_.reset();
  devices_.clear();
  faults_.clear();
  log_.reset();
  commands_.clear();
  safeMode_.forget();
  images_.forget();
  sandbox_.close();
}

std::string tSimulator::sandboxPath(const std::string& path) const { return sandbox_.pathFor(path); }

// --- Device interfaces -----------------------------------------------------

tDeviceNode& tSimulator::addInterface(const std::string& interfaceName, const std::string& suffix,
                                      const std::string& driver, bool createFiles) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tDeviceNode& node = devices_.add(interfaceName, suffix, driver);
  if (createFiles) {
    const std::string& content = node.devicePath;
    sandbox_.writeFile(node.directory + "/interfacePath", content.data(), content.size());
    sandbox_.createDeviceNode(node.devicePath);
  }
  return node;
}

std::string tSimulator::addDirectory(const std::string& directoryName, const std::string& driver) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  const std::string directory = "/proc/driver/ze/" + driver + "/deviceInterfaces/" + directoryName;
  sandbox_.createDirectory(directory);
  return directory;
}

void tSimulator::setInterfacePathContent(const tDeviceNode& node, const std::string& content) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  sandbox_.writeFile(node.directory + "/interfacePath", content.data(), content.size());
}

void tSimulator::wrapModels(
    const std::function<std::unique_ptr<tDriverModel>(std::unique_ptr<tDriverModel>)>& wrap) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  devices_.wrapModels(wrap);
}

std::vector<const tDeviceNode*> tSimulator::interfaces() const {
  std::lock_guard lock(lock_);
  return devices_.all();
}

tDeviceNode& tSimulator::nodeOf(const std::string& interfaceName, std::size_t index) const {
  std::lock_guard lock(lock_);
  return devices_.instance(interfaceName, index);
}

tHostControllerModel& tSimulator::hostController(std::size_t index) {
  return dynamic_cast<tHostControllerModel&>(*nodeOf(nKESTREL1400::kControllerInterface, index).model);
}
tMartenModel& tSimulator::marten(std::size_t index) {
  return dynamic_cast<tMartenModel&>(*nodeOf(nKESTREL1400::kCompanionInterface, index).model);
}
tWatchdogModel& tSimulator::watchdog(std::size_t index) {
  return dynamic_cast<tWatchdogModel&>(*nodeOf(nKESTREL1400::kWatchdogInterface, index).model);
}
tTriggerRouterModel& tSimulator::triggerRouter(std::size_t index) {
  return dynamic_cast<tTriggerRouterModel&>(*nodeOf(nKESTREL1400::kTriggerRouterInterface, index).model);
}

tDeviceNode* tSimulator::openNodeOf(int descriptor) const {
  const auto* file = devices_.openFile(descriptor);
  return file == nullptr ? nullptr : file->node;
}

// --- Files -------------------------------------------------------------------

void tSimulator::writeSmBiosDump(const std::vector<std::uint8_t>& bytes) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  sandbox_.writeSmBiosDump(bytes.data(), bytes.size());
}

void tSimulator::installTool(const std::string& name, const std::string& script) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  sandbox_.installTool(name, script);
}

std::vector<std::string> tSimulator::commands() const {
  std::lock_guard lock(lock_);
  return commands_;
}

// --- Faults and log ------------------------------------------------------------

void tSimulator::failRequests(std::uint32_t code, unsigned count, tRequestFault fault) {
  std::lock_guard lock(lock_);
  faults_.addRequestFault(code, count, fault);
}

void tSimulator::failCalls(tCall call, unsigned count, int value) {
  std::lock_guard lock(lock_);
  faults_.addCallFault(call, count, value);
}

bool tSimulator::faulted(tCall call) {
  const auto fault = faults_.takeCallFault(call);
  if (fault) errno = *fault;
  return fault.has_value();
}

std::vector<tLoggedRequest> tSimulator::requests() const {
  std::lock_guard lock(lock_);
  return log_.entries();
}

std::vector<tLoggedRequest> tSimulator::requests(std::uint32_t code) const {
  std::lock_guard lock(lock_);
  return log_.entriesOf(code);
}

void tSimulator::limitRequestLog(std::size_t count) {
  std::lock_guard lock(lock_);
  log_.limit(count);
}

void tSimulator::clearRequests() {
  std::lock_guard lock(lock_);
  log_.clear();
}

// --- Notifications ---------------------------------------------------------------

std::vector<tRegistration> tSimulator::registrations() const {
  std::lock_guard lock(lock_);
  return registry_.all();
}

std::vector<std::uint32_t> tSimulator::ports() const {
  std::lock_guard lock(lock_);
  return hub_.ports();
}

std::vector<std::uint8_t> tSimulator::buildMessage(std::uint64_t cookie, std::uint16_t eventType,
                                                   std::span<const std::uint8_t> data) {
  return tNotificationRegistry::buildMessage(cookie, eventType, data);
}

std::size_t tSimulator::deliver(const tDeviceNode* node, std::uint32_t notificationId, std::uint16_t eventType,
                                std::span<const std::uint8_t> data) {
  return registry_.deliver(notificationId, eventType, data,
                           [&](int descriptor) { return node == nullptr || openNodeOf(descriptor) == node; });
}

std::size_t tSimulator::sendNotification(std::uint32_t notificationId, std::span<const std::uint8_t> data) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  return deliver(nullptr, notificationId, kEventNotify, data);
}

std::size_t tSimulator::sendEnd(std::uint32_t notificationId) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  return deliver(nullptr, notificationId, kEventEnd, {});
}

bool tSimulator::sendRaw(std::uint32_t portId, std::span<const std::uint8_t> bytes) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  return hub_.send(portId, bytes);
}

std::size_t tSimulator::hangUpNotifications() {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  return hub_.hangUp();
}

void tSimulator::expireWatchdog(std::size_t index) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tDeviceNode& node = nodeOf(nKESTREL1400::kWatchdogInterface, index);
  tNodeEvents events(*this, &node);
  dynamic_cast<tWatchdogModel&>(*node.model).expire(events);
}

void tSimulator::useManualClock() { tSimulatedClock::instance().useManualTime(); }

void tSimulator::advanceClock(std::chrono::nanoseconds step) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tSimulatedClock::instance().advance(step);
  expireDueWatchdogs();
}

void tSimulator::expireDueWatchdogs() {
  devices_.forEachModel([this](tDeviceNode& node) {
    tNodeEvents events(*this, &node);
    node.model->actIfDue(events);
  });
}

std::optional<std::chrono::steady_clock::time_point> tSimulator::nextRealDeadline() const {
  if (tSimulatedClock::instance().isManual()) return std::nullopt;
  return devices_.nextDeadline();
}

void tSimulator::limitReceivedImages(std::size_t count) {
  std::lock_guard lock(lock_);
  devices_.forEachModel([count](tDeviceNode& node) {
    if (auto* receiver = dynamic_cast<tFirmwareReceiver*>(node.model.get())) receiver->keepLatestImages(count);
  });
}

bool tSimulator::demoteRoute(std::uint32_t ticket, std::size_t index) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tDeviceNode& node = nodeOf(nKESTREL1400::kTriggerRouterInterface, index);
  tNodeEvents events(*this, &node);
  return dynamic_cast<tTriggerRouterModel&>(*node.model).demote(ticket, events);
}

}  // namespace nKESTRELSIM
