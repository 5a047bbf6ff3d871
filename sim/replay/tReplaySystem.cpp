#include "sim/replay/tReplaySystem.h"

#include <cerrno>
#include <cstring>

#include "platform/driverWireFormat.h"
#include "sim/models/userMemory.h"
#include "sim/record/requestBuffers.h"
#include "sim/system/tDeviceNode.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr std::uint32_t kMaxRecord = 64 * 1024;

bool isTransfer(unsigned long request) { return ioctlSize(request) == sizeof(tTransferDescriptor); }

template <class T>
T fieldOf(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value{};
  if (bytes.size() >= offset + sizeof value) std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

const std::vector<std::uint8_t>* bytesOf(const tMemoryRegion* region, bool after) {
  if (region == nullptr) return nullptr;
  const auto& bytes = after ? region->after : region->before;
  return bytes ? &*bytes : nullptr;
}

// The program's descriptor and input record of a transfer.
struct tLiveTransfer {
  tTransferDescriptor descriptor{};
  std::vector<std::uint8_t> input;
};

tLiveTransfer liveTransfer(void* argument) {
  tLiveTransfer live;
  const auto bytes = copyFromUser(reinterpret_cast<std::uint64_t>(argument), sizeof live.descriptor);
  std::memcpy(&live.descriptor, bytes.data(), sizeof live.descriptor);
  if (live.descriptor.inputSize != 0 && live.descriptor.inputSize <= kMaxRecord) {
    live.input = copyFromUser(live.descriptor.inputAddress, live.descriptor.inputSize);
  }
  return live;
}

}  // namespace

tReplaySystem::tReplaySystem(tSimulator& simulator, tReplayScript& script, bool lenient)
    : simulator_(simulator), script_(script), lenient_(lenient), assigned_(script.processes().size(), false) {}

int tReplaySystem::closeDescriptor(int handle) {
  {
    std::lock_guard guard(lock_);
    interfaces_.erase(handle);
  }
  return simulator_.closeDescriptor(handle);
}

void tReplaySystem::servingConnection(std::uint64_t connection, pid_t process) {
  std::lock_guard guard(lock_);
  connection_ = connection;
  process_ = process;
}

int tReplaySystem::adoptDevice(int handle, const std::string& devicePath) {
  const int result = simulator_.adoptDevice(handle, devicePath);
  std::lock_guard guard(lock_);
  for (const tDeviceNode* node : simulator_.interfaces()) {
    if (node->devicePath == devicePath) interfaces_[handle] = node->interfaceName + "\\" + node->suffix;
  }
  return result;
}
void tReplaySystem::adoptSocket(int handle, int driverEnd) { simulator_.adoptSocket(handle, driverEnd); }
int tReplaySystem::bindSocketFor(int handle, const sockaddr* address, socklen_t size, std::uint32_t processId,
                                 std::uint32_t& port) {
  return simulator_.bindSocketFor(handle, address, size, processId, port);
}
bool tReplaySystem::takeSocketOverrun(int handle) { return simulator_.takeSocketOverrun(handle); }
std::optional<std::chrono::steady_clock::time_point> tReplaySystem::serviceTimers() { return simulator_.serviceTimers(); }
std::size_t tReplaySystem::hangUpNotifications() { return simulator_.hangUpNotifications(); }

// Everything is read before anything is decided: a read the driver must
// first ask the program for handles the request again from the start.
tActualRequest tReplaySystem::readRequest(unsigned long request, void* argument) const {
  tActualRequest actual;
  actual.code = static_cast<std::uint32_t>(request);
  if (request == kRegisterNotification) {
    actual.registration = copyFromUser(reinterpret_cast<std::uint64_t>(argument), sizeof(tNotificationRegistration));
    actual.notificationId = fieldOf<std::uint32_t>(actual.registration, offsetof(tNotificationRegistration, notificationId));
  } else if (request == kUnregisterNotification) {
    actual.argument = reinterpret_cast<std::uint64_t>(argument);
  } else if (isTransfer(request) && argument != nullptr) {
    const tLiveTransfer live = liveTransfer(argument);
    actual.input = comparableInput(actual.code, live.input);
    for (const auto& field : buffersOf(actual.code)) {
      const auto place = placeOf(field, live.input);
      if (field.use == tBufferUse::kRead && place.size != 0) {
        actual.readBuffers.push_back({field.addressAt, copyFromUser(place.address, place.size)});
      }
    }
  }
  return actual;
}

bool tReplaySystem::matches(const tScriptedRequest& scripted, const tActualRequest& actual) const {
  const tExchange& expected = *scripted.exchange;
  if (!scripted.interface.empty() && !actual.interface.empty() && scripted.interface != actual.interface) return false;
  if (static_cast<std::uint32_t>(expected.number("request")) != actual.code) return false;
  if (actual.notificationId) {
    const auto* registration = bytesOf(expected.region("registration"), false);
    return registration != nullptr &&
           fieldOf<std::uint32_t>(*registration, offsetof(tNotificationRegistration, notificationId)) ==
               *actual.notificationId;
  }
  if (actual.argument) return static_cast<std::uint64_t>(expected.number("argument")) == *actual.argument;
  const auto* input = bytesOf(expected.region("input"), false);
  const auto expectedInput = input == nullptr ? std::vector<std::uint8_t>() : comparableInput(actual.code, *input);
  if (expectedInput != actual.input) return false;
  for (const auto& [field, bytes] : actual.readBuffers) {
    const auto* recorded = bytesOf(expected.region("buffer", field), false);
    if (recorded == nullptr || *recorded != bytes) return false;
  }
  return true;
}

tReplaySystem::tRunning& tReplaySystem::runningFor() {
  tRunning& running = running_[connection_];
  if (!running.started) {
    running.started = true;
    for (std::size_t i = 0; i < assigned_.size(); ++i) {
      if (!assigned_[i]) running.candidates.push_back(i);
    }
  }
  return running;
}

void tReplaySystem::settle() {
  for (bool changed = true; changed;) {
    changed = false;
    for (auto& [connection, running] : running_) {
      if (running.claimed || running.candidates.size() != 1) continue;
      const std::size_t claimed = running.candidates.front();
      assigned_[claimed] = true;
      running.claimed = true;
      changed = true;
      for (auto& [other, rest] : running_) {
        if (other == connection || rest.claimed) continue;
        std::erase(rest.candidates, claimed);
      }
    }
  }
}

const tScriptedRequest* tReplaySystem::nextOf(const tRunning& running) const {
  if (running.candidates.empty()) return nullptr;
  const auto& requests = script_.processes()[running.candidates.front()].requests;
  return running.next < requests.size() ? &requests[running.next] : nullptr;
}

int tReplaySystem::ioctlDescriptor(int handle, unsigned long request, void* argument) {
  tActualRequest actual = readRequest(request, argument);
  std::lock_guard guard(lock_);
  if (const auto found = interfaces_.find(handle); found != interfaces_.end()) actual.interface = found->second;
  if (divergence_) {
    errno = EIO;
    return -1;
  }
  tRunning& running = runningFor();
  std::vector<std::size_t> kept;
  for (const std::size_t candidate : running.candidates) {
    const auto& requests = script_.processes()[candidate].requests;
    if (running.next < requests.size() && matches(requests[running.next], actual)) kept.push_back(candidate);
  }
  if (kept.empty()) return diverge(&running, actual, request, handle, argument);
  running.candidates = std::move(kept);
  settle();
  const tScriptedRequest& scripted = *nextOf(running);
  ++running.next;
  const int result = answer(running, *scripted.exchange, handle, request, argument);
  const int error = errno;
  deliverAfter(running, scripted);
  errno = error;
  return result;
}

int tReplaySystem::answer(tRunning& running, const tExchange& expected, int handle, unsigned long request,
                          void* argument) {
  const auto recordedResult = static_cast<int>(expected.number("result"));
  if (recordedResult < 0) {
    errno = static_cast<int>(expected.number("error"));
    return recordedResult;
  }
  if (request == kRegisterNotification || request == kUnregisterNotification) {
    if (request == kRegisterNotification) {
      const auto live = copyFromUser(reinterpret_cast<std::uint64_t>(argument), sizeof(tNotificationRegistration));
      const auto* recorded = bytesOf(expected.region("registration"), false);
      running.cookies[fieldOf<std::uint64_t>(*recorded, 0)] = {
          fieldOf<std::uint64_t>(live, 0), fieldOf<std::uint32_t>(live, offsetof(tNotificationRegistration, portId)),
          fieldOf<std::uint32_t>(*recorded, offsetof(tNotificationRegistration, portId))};
    }
    return simulator_.ioctlDescriptor(handle, request, argument);
  }
  if (isTransfer(request) && argument != nullptr) writeAnswer(expected, argument);
  errno = 0;
  return recordedResult;
}

// The recorded answer into the program's records and buffers, each as far
// as the program's own sizes reach.
void tReplaySystem::writeAnswer(const tExchange& expected, void* argument) const {
  const tLiveTransfer live = liveTransfer(argument);
  const auto code = static_cast<std::uint32_t>(expected.number("request"));
  if (const auto* output = bytesOf(expected.region("output"), true); output != nullptr && live.descriptor.outputAddress != 0) {
    copyToUser(live.descriptor.outputAddress, output->data(), std::min<std::size_t>(output->size(), live.descriptor.outputSize));
  }
  for (const auto& field : buffersOf(code)) {
    const auto* written = bytesOf(expected.region("buffer", field.addressAt), true);
    const auto place = placeOf(field, live.input);
    if (written != nullptr && place.size != 0) copyToUser(place.address, written->data(), std::min<std::size_t>(written->size(), place.size));
  }
  if (const auto* descriptor = bytesOf(expected.region("descriptor"), true)) {
    const auto result = fieldOf<std::uint32_t>(*descriptor, offsetof(tTransferDescriptor, result));
    copyToUser(reinterpret_cast<std::uint64_t>(argument) + offsetof(tTransferDescriptor, result), &result, sizeof result);
  }
}

void tReplaySystem::deliverAfter(tRunning& running, const tScriptedRequest& request) {
  for (const tExchange* message : request.messagesAfter) {
    std::vector<std::uint8_t> bytes = message->bytes;
    const auto cookie = fieldOf<std::uint64_t>(bytes, offsetof(tDriverMessage, cookie));
    const auto found = running.cookies.find(cookie);
    if (found == running.cookies.end()) continue;
    const tCookie& live = found->second;
    std::memcpy(bytes.data() + offsetof(tDriverMessage, cookie), &live.cookie, sizeof live.cookie);
    if (fieldOf<std::uint32_t>(bytes, offsetof(tDriverMessage, port)) == live.recordedPort) {
      std::memcpy(bytes.data() + offsetof(tDriverMessage, port), &live.port, sizeof live.port);
    }
    simulator_.sendRaw(live.port, bytes);
  }
}

int tReplaySystem::diverge(tRunning* running, const tActualRequest& actual, unsigned long request, int handle,
                           void* argument) {
  tDivergence divergence;
  divergence.process = process_;
  divergence.actual = actual;
  if (running != nullptr) {
    divergence.index = running->next + 1;
    if (const tScriptedRequest* next = nextOf(*running)) {
      divergence.expected = next->exchange;
      divergence.expectedInterface = next->interface;
    }
  }
  if (lenient_) {
    divergence.answeredByModels = true;
    unmatched_.push_back(std::move(divergence));
    return simulator_.ioctlDescriptor(handle, request, argument);
  }
  divergence_ = std::move(divergence);
  if (onDivergence_) onDivergence_(process_);
  errno = EIO;
  return -1;
}

// Processes still sharing candidates take the first one free, in the order
// they came; a recorded process is replayed when the process holding it
// made all its requests.
std::optional<tDivergence> tReplaySystem::unreplayed() const {
  const auto& processes = script_.processes();
  std::vector<bool> taken = assigned_;
  std::vector<std::size_t> progress(processes.size(), 0);
  for (const auto& [connection, running] : running_) {
    for (const std::size_t candidate : running.candidates) {
      if (running.claimed || !taken[candidate]) {
        taken[candidate] = true;
        progress[candidate] = running.next;
        break;
      }
    }
  }
  for (std::size_t i = 0; i < processes.size(); ++i) {
    if (progress[i] < processes[i].requests.size()) {
      tDivergence missing;
      missing.process = static_cast<pid_t>(processes[i].process);
      missing.index = progress[i] + 1;
      missing.expected = processes[i].requests[progress[i]].exchange;
      missing.expectedInterface = processes[i].requests[progress[i]].interface;
      return missing;
    }
  }
  return std::nullopt;
}

}  // namespace nKESTRELSIM
