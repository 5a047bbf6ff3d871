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

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

namespace {

std::atomic<tSimulator*> gActive{nullptr};

std::string safeName(std::string text) {
  for (char& c : text) {
    if (c == '/' || c == '\\') c = '_';
  }
  return text;
}

bool isTransferRequest(unsigned long request) {
  const unsigned long type = (request >> 8) & 0xFF;
  const unsigned long size = (request >> 16) & 0x3FFF;
  return size == sizeof(tTransferDescriptor) && (type == kHostControllerType || type == kTriggerRouterType);
}

}  // namespace

// Notifications a model sends reach the registrations made on its node.
class tSimulator::tNodeEvents : public iDriverEvents {
 public:
  tNodeEvents(tSimulator& simulator, const tDeviceNode* node) : simulator_(simulator), node_(node) {}
  void notify(std::uint32_t notificationId, std::span<const std::uint8_t> data) override {
    simulator_.deliver(node_, notificationId, kEventNotify, data);
  }
  void endNotifications(std::uint32_t notificationId) override {
    simulator_.deliver(node_, notificationId, kEventEnd, {});
  }
  void imageReceived(const char* target, std::span<const std::uint8_t> image) override {
    simulator_.images_.announce(simulator_.sandbox_.root(), target, image);
  }

 private:
  tSimulator& simulator_;
  const tDeviceNode* node_;
};

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
  openDevices_.clear();
  registry_.clear();
  driver_.reset();
  nodes_.clear();
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
  auto node = std::make_unique<tDeviceNode>();
  node->interfaceName = interfaceName;
  node->suffix = suffix;
  node->driver = driver;
  node->directory = "/proc/driver/ze/" + driver + "/deviceInterfaces/" + interfaceName + "\\" + suffix;
  node->devicePath = "/dev/zesim/" + safeName(driver) + "/" + safeName(interfaceName + "-" + suffix);
  node->model = makeModel(interfaceName);
  if (createFiles) {
    const std::string& content = node->devicePath;
    sandbox_.writeFile(node->directory + "/interfacePath", content.data(), content.size());
    sandbox_.createDeviceNode(node->devicePath);
  }
  nodes_.push_back(std::move(node));
  return *nodes_.back();
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
  for (auto& node : nodes_) node->model = wrap(std::move(node->model));
}

std::vector<const tDeviceNode*> tSimulator::interfaces() const {
  std::lock_guard lock(lock_);
  std::vector<const tDeviceNode*> result;
  for (const auto& node : nodes_) result.push_back(node.get());
  return result;
}

tDriverModel& tSimulator::modelOf(const std::string& interfaceName, std::size_t index) const {
  std::lock_guard lock(lock_);
  for (const auto& node : nodes_) {
    if (node->interfaceName != interfaceName || !node->model) continue;
    if (index-- == 0) return *node->model;
  }
  throw std::out_of_range("kestrel-sim: no instance of " + interfaceName);
}

tHostControllerModel& tSimulator::hostController(std::size_t index) {
  return static_cast<tHostControllerModel&>(modelOf("hostController_hostController", index));
}
tMartenModel& tSimulator::marten(std::size_t index) {
  return static_cast<tMartenModel&>(modelOf("hostController_hostMarten", index));
}
tWatchdogModel& tSimulator::watchdog(std::size_t index) {
  return static_cast<tWatchdogModel&>(modelOf("hostController_hostControllerWatchdog", index));
}
tTriggerRouterModel& tSimulator::triggerRouter(std::size_t index) {
  return static_cast<tTriggerRouterModel&>(modelOf("hostController_hostControllerTriggerRouter", index));
}

tDeviceNode* tSimulator::nodeAt(const std::string& devicePath) const {
  for (const auto& node : nodes_) {
    if (node->devicePath == devicePath) return node.get();
  }
  return nullptr;
}

tDeviceNode* tSimulator::openNodeOf(int descriptor) const {
  const auto found = openDevices_.find(descriptor);
  return found == openDevices_.end() ? nullptr : found->second.node;
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
  tWatchdogModel& model = watchdog(index);
  for (const auto& node : nodes_) {
    if (node->model.get() != &model) continue;
    tNodeEvents events(*this, node.get());
    model.expire(events);
  }
}

void tSimulator::useManualClock() { tSimulatedClock::instance().useManualTime(); }

void tSimulator::advanceClock(std::chrono::nanoseconds step) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tSimulatedClock::instance().advance(step);
  expireDueWatchdogs();
}

void tSimulator::expireDueWatchdogs() {
  for (const auto& node : nodes_) {
    tNodeEvents events(*this, node.get());
    if (auto* model = dynamic_cast<tWatchdogModel*>(node->model.get())) model->expireIfDue(events);
    if (auto* router = dynamic_cast<tTriggerRouterModel*>(node->model.get())) router->demoteIfDue(events);
  }
}

std::optional<std::chrono::steady_clock::time_point> tSimulator::nextRealDeadline() const {
  std::optional<std::chrono::steady_clock::time_point> next;
  if (tSimulatedClock::instance().isManual()) return next;
  for (const auto& node : nodes_) {
    const auto* model = dynamic_cast<const tWatchdogModel*>(node->model.get());
    const auto* router = dynamic_cast<const tTriggerRouterModel*>(node->model.get());
    const auto deadline = model != nullptr ? model->deadline() : router != nullptr ? router->deadline() : std::nullopt;
    if (deadline && (!next || *deadline < *next)) next = deadline;
  }
  return next;
}

void tSimulator::limitReceivedImages(std::size_t count) {
  std::lock_guard lock(lock_);
  for (const auto& node : nodes_) {
    if (auto* controller = dynamic_cast<tHostControllerModel*>(node->model.get())) controller->keepLatestImages(count);
    if (auto* companion = dynamic_cast<tMartenModel*>(node->model.get())) companion->keepLatestImages(count);
  }
}

bool tSimulator::demoteRoute(std::uint32_t ticket, std::size_t index) {
  tReentryGuard guard;
  std::lock_guard lock(lock_);
  tTriggerRouterModel& model = triggerRouter(index);
  for (const auto& node : nodes_) {
    if (node->model.get() != &model) continue;
    tNodeEvents events(*this, node.get());
    return model.demote(ticket, events);
  }
  return false;
}

// --- Interposed calls --------------------------------------------------------------

// What is not simulated goes to the C library without the simulator's lock:
// it may block (a FIFO's open, a receive on the program's own socket) while
// other threads use the simulated controller.
int tSimulator::openPath(const char* path, int flags, mode_t mode) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::open(path, flags, mode);
  }
  noteSimulatedUse();
  if (faulted(tCall::kOpen)) return -1;
  // A device whose driver has gone is not there to open.
  if (driver_ && driver_->gone() && tSandbox::isDevicePath(path)) {
    errno = ENODEV;
    return -1;
  }
  const int descriptor = nRealLibc::open(sandbox.c_str(), flags, mode);
  if (descriptor == -1) return -1;
  tDeviceNode* node = nodeAt(path);
  if (node == nullptr) return descriptor;
  if (!driver_) {
    openDevices_[descriptor] = tOpenDevice{node, ++nextOpenId_};
  } else if (driver_->open(descriptor, path) == -1) {
    const int error = errno;
    nRealLibc::close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

FILE* tSimulator::fopenPath(const char* path, const char* mode) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::fopen(path, mode);
  }
  noteSimulatedUse();
  if (faulted(tCall::kFopen)) return nullptr;
  return nRealLibc::fopen(sandbox.c_str(), mode);
}

int tSimulator::closeDescriptor(int descriptor) {
  {
    std::lock_guard lock(lock_);
    if (driver_) driver_->close(descriptor);
    const auto open = openDevices_.find(descriptor);
    if (open != openDevices_.end()) {
      registry_.end(descriptor, 0, true);
      const tOpenDevice device = open->second;
      openDevices_.erase(open);
      if (device.node->model) {
        tNodeEvents events(*this, device.node);
        device.node->model->released(device.openId, events);
      }
    }
    hub_.release(descriptor);
  }
  return nRealLibc::close(descriptor);
}

int tSimulator::ioctlDescriptor(int descriptor, unsigned long request, void* argument) {
  std::unique_lock lock(lock_);
  if (driver_ && driver_->ownsDevice(descriptor)) return driver_->ioctl(descriptor, request, argument);
  const auto open = openDevices_.find(descriptor);
  if (open == openDevices_.end()) {
    lock.unlock();
    return nRealLibc::ioctl(descriptor, request, argument);
  }
  tDeviceNode& node = *open->second.node;
  if (request == kRegisterNotification) return registerNotification(descriptor, node, argument);
  if (request == kUnregisterNotification) {
    return unregisterNotification(descriptor, node, reinterpret_cast<std::uint64_t>(argument));
  }
  return transfer(open->second, request, argument);
}

int tSimulator::transfer(const tOpenDevice& device, unsigned long request, void* argument) {
  tDeviceNode& node = *device.node;
  tLoggedRequest entry{node.interfaceName, node.directory, static_cast<std::uint32_t>(request), {}, 0, 0, 0};
  auto fail = [&](int error) {
    entry.error = error;
    log_.add(entry);
    errno = error;
    return -1;
  };
  if (!isTransferRequest(request)) return fail(ENOTTY);
  if (argument == nullptr) return fail(EFAULT);
  // The descriptor is the caller's memory like the records it points at.
  const auto descriptorAddress = reinterpret_cast<std::uint64_t>(argument);
  tTransferDescriptor descriptor{};
  std::memcpy(&descriptor, copyFromUser(descriptorAddress, sizeof descriptor).data(), sizeof descriptor);
  tDriverRequest driverRequest;
  driverRequest.code = entry.code;
  driverRequest.opener = device.openId;
  if (descriptor.inputSize > kMaxRecordBytes || descriptor.outputSize > kMaxRecordBytes) return fail(EINVAL);
  driverRequest.input = copyFromUser(descriptor.inputAddress, descriptor.inputSize);
  driverRequest.output.assign(descriptor.outputSize, 0);
  entry.input = driverRequest.input;
  entry.outputSize = descriptor.outputSize;
  // A fault is taken only once the model has run: a driver serving other
  // processes may handle a request again when it had to fetch more of the
  // caller's memory first (tRemoteMemory).
  const auto fault = faults_.nextRequestFault(entry.code);
  if (fault && fault->error != 0) {
    faults_.takeRequestFault(entry.code);
    return fail(fault->error);
  }
  tNodeEvents events(*this, &node);
  if (node.model) {
    node.model->handle(driverRequest, events);
  } else {
    driverRequest.error = ENOTTY;
  }
  if (fault) faults_.takeRequestFault(entry.code);
  if (driverRequest.error != 0) return fail(driverRequest.error);
  if (fault) applyRecordFault(fault->record, fault->status, fault->size, driverRequest);
  copyToUser(descriptor.outputAddress, driverRequest.output.data(), driverRequest.bytesCopiedBack());
  copyToUser(descriptorAddress + offsetof(tTransferDescriptor, result), &driverRequest.result,
             sizeof driverRequest.result);
  log_.add(entry);
  return 0;
}

int tSimulator::registerNotification(int descriptor, tDeviceNode& node, const void* argument) {
  tLoggedRequest entry{node.interfaceName, node.directory, kRegisterNotification, {}, 0, 0, 0};
  tNotificationRegistration record{};
  if (argument != nullptr) {
    entry.input = copyFromUser(reinterpret_cast<std::uint64_t>(argument), sizeof record);
    std::memcpy(&record, entry.input.data(), sizeof record);
  }
  const auto fault = faults_.takeRequestFault(kRegisterNotification);
  entry.error = argument == nullptr ? EFAULT : (fault ? fault->error : 0);
  log_.add(entry);
  if (entry.error != 0) {
    errno = entry.error;
    return -1;
  }
  registry_.add({node.interfaceName, descriptor, record.cookie, record.portId, record.notificationId});
  return 0;
}

// The driver ends a registration with the end message.
int tSimulator::unregisterNotification(int descriptor, tDeviceNode& node, std::uint64_t notificationId) {
  log_.add({node.interfaceName, node.directory, kUnregisterNotification, {}, 0, notificationId, 0});
  registry_.end(descriptor, static_cast<std::uint32_t>(notificationId), false);
  return 0;
}

bool tSimulator::ownsSocket(int descriptor) const {
  return hub_.owns(descriptor) || (driver_ && driver_->ownsSocket(descriptor));
}

int tSimulator::createSocket(int domain, int type, int protocol) {
  if (domain != AF_NETLINK || protocol != NETLINK_GENERIC) return nRealLibc::socket(domain, type, protocol);
  std::lock_guard lock(lock_);
  noteSimulatedUse();
  if (faulted(tCall::kSocket)) return -1;
  return driver_ ? driver_->createSocket(type) : hub_.create(type);
}

int tSimulator::bindSocket(int descriptor, const sockaddr* address, socklen_t size) {
  std::lock_guard lock(lock_);
  const bool remote = driver_ && driver_->ownsSocket(descriptor);
  if (!remote && !hub_.owns(descriptor)) return nRealLibc::bind(descriptor, address, size);
  if (faulted(tCall::kBind)) return -1;
  if (remote) return driver_->bind(descriptor, address, size);
  std::uint32_t port = 0;
  return hub_.bind(descriptor, address, size, static_cast<std::uint32_t>(getpid()), port);
}

int tSimulator::socketName(int descriptor, sockaddr* address, socklen_t* size) {
  std::lock_guard lock(lock_);
  const bool remote = driver_ && driver_->ownsSocket(descriptor);
  if (!remote && !hub_.owns(descriptor)) return nRealLibc::getsockname(descriptor, address, size);
  if (faulted(tCall::kGetsockname)) return -1;
  return remote ? driver_->getsockname(descriptor, address, size) : hub_.getsockname(descriptor, address, size);
}

int tSimulator::getSocketOption(int descriptor, int level, int name, void* value, socklen_t* size) {
  {
    std::lock_guard lock(lock_);
    if (ownsSocket(descriptor) && faulted(tCall::kGetsockopt)) return -1;
  }
  return nRealLibc::getsockopt(descriptor, level, name, value, size);
}

int tSimulator::setSocketOption(int descriptor, int level, int name, const void* value, socklen_t size) {
  {
    std::lock_guard lock(lock_);
    if (ownsSocket(descriptor) && faulted(tCall::kSetsockopt)) return -1;
  }
  return nRealLibc::setsockopt(descriptor, level, name, value, size);
}

ssize_t tSimulator::receiveMessage(int descriptor, msghdr* message, int flags) {
  {
    std::unique_lock lock(lock_);
    if (!ownsSocket(descriptor)) {
      lock.unlock();
      return nRealLibc::recvmsg(descriptor, message, flags);
    }
    if (faulted(tCall::kRecvmsg)) return -1;
    if (hub_.takeOverrun(descriptor) || (driver_ && driver_->takeOverrun(descriptor))) {
      errno = ENOBUFS;
      return -1;
    }
  }
  // Blocks without the lock; the peer is unnamed, the source is the kernel.
  void* name = message->msg_name;
  const socklen_t nameSize = message->msg_namelen;
  message->msg_name = nullptr;
  message->msg_namelen = 0;
  const ssize_t received = nRealLibc::recvmsg(descriptor, message, flags);
  const int error = errno;
  message->msg_name = name;
  message->msg_namelen = nameSize;
  if (received >= 0) tNetlinkHub::setKernelSource(message);
  errno = error;
  return received;
}

int tSimulator::pollDescriptors(pollfd* descriptors, nfds_t count, int timeoutMs) {
  bool simulated = false;
  {
    std::lock_guard lock(lock_);
    for (nfds_t i = 0; i < count; ++i) simulated = simulated || ownsSocket(descriptors[i].fd);
    if (simulated && faulted(tCall::kPoll)) return -1;
  }
  if (!simulated) return nRealLibc::poll(descriptors, count, timeoutMs);
  if (driver_) return pollServed(descriptors, count, timeoutMs);
  const int ready = pollUntilDeadlines(descriptors, count, timeoutMs);
  if (ready <= 0) return ready;
  std::lock_guard lock(lock_);
  return hub_.markHangUps(descriptors, count);
}

// A poll on a simulated socket ends at each watchdog deadline, lets the
// timer expire and goes on: the expiry reaches a waiting program on time,
// without a thread of the simulator's own.
int tSimulator::pollUntilDeadlines(pollfd* descriptors, nfds_t count, int timeoutMs) {
  using namespace std::chrono;
  const auto begin = steady_clock::now();
  for (;;) {
    std::optional<steady_clock::time_point> deadline;
    {
      std::lock_guard lock(lock_);
      expireDueWatchdogs();
      deadline = nextRealDeadline();
    }
    const auto now = steady_clock::now();
    const long long elapsed = duration_cast<milliseconds>(now - begin).count();
    long long slice = timeoutMs < 0 ? -1 : std::max<long long>(timeoutMs - elapsed, 0);
    if (deadline) {
      const long long untilDeadline = std::max<long long>(ceil<milliseconds>(*deadline - now).count(), 0);
      slice = slice < 0 ? untilDeadline : std::min(slice, untilDeadline);
    }
    const int ready = nRealLibc::poll(descriptors, count, static_cast<int>(std::min<long long>(slice, INT_MAX)));
    if (ready != 0 || !deadline) return ready;
    if (timeoutMs >= 0 && steady_clock::now() - begin >= milliseconds(timeoutMs)) return 0;
  }
}

int tSimulator::statPath(const char* path, struct stat* result) {
  std::unique_lock lock(lock_);
  const std::string sandbox = path == nullptr ? std::string() : sandboxPath(path);
  if (sandbox.empty()) {
    lock.unlock();
    return nRealLibc::stat(path, result);
  }
  noteSimulatedUse();
  if (faulted(tCall::kStat)) return -1;
  return nRealLibc::stat(sandbox.c_str(), result);
}

FILE* tSimulator::openPipe(const char* command, const char* mode) {
  std::string rewritten;
  {
    std::lock_guard lock(lock_);
    if (command == nullptr) return nRealLibc::popen(command, mode);
    commands_.push_back(command);
    if (faulted(tCall::kPopen)) return nullptr;
    rewritten = sandbox_.commandLine(command);
  }
  return nRealLibc::popen(rewritten.c_str(), mode);
}

int tSimulator::runCommand(const char* command) {
  std::lock_guard lock(lock_);
  if (command == nullptr) return nRealLibc::system(command);
  commands_.push_back(command);
  if (const auto fault = faults_.takeCallFault(tCall::kSystem)) return *fault;
  // The install tool is answered here; no command line reaches a shell.
  const int status = safeMode_.run(command);
  if (status == 0 && !safeMode_.installed().empty()) images_.announce(sandbox_.root(), "SAFEMODE", safeMode_.installed().back().bytes);
  return status;
}

// Answered from the sandbox with the C library's glob; the sandbox root is
// cut off the matches again (in place: each path only gets shorter).
int tSimulator::globPattern(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result) {
  std::string sandbox;
  {
    std::lock_guard lock(lock_);
    sandbox = pattern == nullptr ? std::string() : sandboxPath(pattern);
    if (sandbox.empty()) return nRealLibc::glob(pattern, flags, onError, result);
    noteSimulatedUse();
    if (const auto fault = faults_.takeCallFault(tCall::kGlob)) return *fault;
  }
  const std::size_t first = (flags & GLOB_APPEND) != 0 ? result->gl_pathc : 0;
  const int status = nRealLibc::glob(sandbox.c_str(), flags, onError, result);
  if (status != 0 && status != GLOB_NOMATCH) return status;
  sandbox_.unrootMatches(result, first, flags);
  return status;
}

}  // namespace nKESTRELSIM
