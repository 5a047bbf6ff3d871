// The interposed calls on open device files: each request goes to the
// model of the file's node, through the faults a test scripted, into the
// request log.
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/driverWireFormat.h"
#include "sim/driver/tDriverClient.h"
#include "sim/libc/realLibc.h"
#include "sim/models/recordFault.h"
#include "sim/models/userMemory.h"
#include "sim/system/tNodeEvents.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

using namespace nKESTREL1400::nDriverWire;

int tSimulator::closeDescriptor(int descriptor) {
  {
    std::lock_guard lock(lock_);
    if (driver_) driver_->close(descriptor);
    if (const auto device = devices_.close(descriptor)) {
      registry_.end(descriptor, 0, true);
      if (device->node->model) {
        tNodeEvents events(*this, device->node);
        device->node->model->released(device->openId, events);
      }
    }
    hub_.release(descriptor);
  }
  return nRealLibc::close(descriptor);
}

int tSimulator::ioctlDescriptor(int descriptor, unsigned long request, void* argument) {
  std::unique_lock lock(lock_);
  if (driver_ && driver_->ownsDevice(descriptor)) return driver_->ioctl(descriptor, request, argument);
  const auto* open = devices_.openFile(descriptor);
  if (open == nullptr) {
    lock.unlock();
    return nRealLibc::ioctl(descriptor, request, argument);
  }
  tDeviceNode& node = *open->node;
  if (request == kRegisterNotification) return registerNotification(descriptor, node, argument);
  if (request == kUnregisterNotification) {
    return unregisterNotification(descriptor, node, reinterpret_cast<std::uint64_t>(argument));
  }
  return transfer(*open, request, argument);
}

int tSimulator::transfer(const tDeviceNodes::tOpenFile& device, unsigned long request, void* argument) {
  tDeviceNode& node = *device.node;
  tLoggedRequest entry{node.interfaceName, node.directory, static_cast<std::uint32_t>(request), {}, 0, 0, 0};
  auto fail = [&](int error) {
    entry.error = error;
    log_.add(entry);
    errno = error;
    return -1;
  };
  if (!carriesTransferDescriptor(request)) return fail(ENOTTY);
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

}  // namespace nKESTRELSIM
