// The simulated controller of one process: a sandbox directory standing in
// for the driver's files, the device interfaces with their models, the
// emulated notification sockets, scripted faults and the request log.
//
// Tests drive it directly:
//
//   auto& sim = nKESTRELSIM::tSimulator::instance();
//   sim.start();                                    // fresh sandbox, nothing in it
//   sim.addInterface("hostController_hostController");
//   sim.failRequests(kGetAttribute, 1, {.error = ENOTTY});
//   ... run library code ...
//   for (const auto& request : sim.requests()) ...  // code and raw input bytes
//   sim.stop();
//
// Programs run under kestrel-sim get one started from a profile.
#pragma once

#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/driver/iServedSystem.h"
#include "sim/driver/tNetlinkHub.h"
#include "sim/system/tDeviceNode.h"
#include "sim/system/tDeviceNodes.h"
#include "sim/system/tFaultPlan.h"
#include "sim/system/tImageAnnouncer.h"
#include "sim/system/tNotificationRegistry.h"
#include "sim/system/tRequestLog.h"
#include "sim/system/tSandbox.h"
#include "sim/system/tSafeModeInstaller.h"

namespace nKESTRELSIM {

class tDriverClient;
class tHostControllerModel;
class tMartenModel;
class tTriggerRouterModel;
class tWatchdogModel;

class tSimulator final : public iServedSystem {
 public:
  static tSimulator& instance();
  // The started simulator, or null: what the interposed functions consult.
  static tSimulator* active() noexcept;

  // Starts with an empty sandbox: a new temporary directory when `root` is
  // empty (removed again by stop()), else the given one (kept; created
  // unless `createRoot` is false, as for a program whose run made it).
  // Everything of an earlier start is forgotten.
  void start(const std::string& root = "", bool createRoot = true);
  void stop();
  bool isStarted() const noexcept;
  const std::string& root() const noexcept { return sandbox_.root(); }
  // Where a path the program uses lies in the sandbox ("" when the path
  // is not simulated).
  std::string sandboxPath(const std::string& path) const;

  // --- Device interfaces ---------------------------------------------------
  // Creates the directory <name>\<suffix> with its interfacePath file, the
  // device node and the model. `createFiles` false only registers the
  // instance (the files exist already, written by another process).
  tDeviceNode& addInterface(const std::string& interfaceName, const std::string& suffix = "0",
                            const std::string& driver = "kestrel", bool createFiles = true);
  // A bare directory (no interfacePath file, no model).
  std::string addDirectory(const std::string& directoryName, const std::string& driver = "kestrel");
  // Replaces the interfacePath file's content byte for byte.
  void setInterfacePathContent(const tDeviceNode& node, const std::string& content);
  std::vector<const tDeviceNode*> interfaces() const;
  // Puts a wrapper around every interface's model, e.g. a tHostileModel that
  // lets a script decide what the driver answers.
  void wrapModels(const std::function<std::unique_ptr<tDriverModel>(std::unique_ptr<tDriverModel>)>& wrap);
  // The model of the index-th instance of the interface (throws
  // std::out_of_range when there is none, std::bad_cast when a wrapper
  // stands in front of it).
  tHostControllerModel& hostController(std::size_t index = 0);
  tMartenModel& marten(std::size_t index = 0);
  tWatchdogModel& watchdog(std::size_t index = 0);
  tTriggerRouterModel& triggerRouter(std::size_t index = 0);

  // --- Files the firmware tools and the SMBIOS provider look for -----------
  void writeSmBiosDump(const std::vector<std::uint8_t>& bytes);
  // An executable under /usr/local/zecorp/bin.
  void installTool(const std::string& name, const std::string& script);
  // Commands run through popen and system, as the program gave them.
  std::vector<std::string> commands() const;

  // --- Firmware updates ------------------------------------------------------
  // The install tool behind system(); images the driver models received
  // are in hostController().receivedImages() and marten().receivedImages().
  tSafeModeInstaller& safeModeInstaller() noexcept { return safeMode_; }
  // Every image received from now on is also written to
  // <sandbox>/received/<TARGET>-<n>.bin and announced on standard error
  // (kestrel-sim turns this on).
  void announceImages(bool on) noexcept { images_.enable(on); }

  // --- Faults ----------------------------------------------------------------
  void failRequests(std::uint32_t code, unsigned count, tRequestFault fault);
  void failCalls(tCall call, unsigned count, int value);

  // --- Request log -------------------------------------------------------------
  std::vector<tLoggedRequest> requests() const;
  std::vector<tLoggedRequest> requests(std::uint32_t code) const;
  void clearRequests();

  // --- Notifications -----------------------------------------------------------
  std::vector<tRegistration> registrations() const;
  std::vector<std::uint32_t> ports() const;
  // A data (event type 1) or end (event type 2) message to every
  // registration of the id; returns how many were delivered.
  std::size_t sendNotification(std::uint32_t notificationId, std::span<const std::uint8_t> data);
  std::size_t sendEnd(std::uint32_t notificationId);
  // Any bytes, for malformed messages, to the socket bound to `portId`.
  bool sendRaw(std::uint32_t portId, std::span<const std::uint8_t> bytes);
  // The bytes of a well-formed driver message.
  static std::vector<std::uint8_t> buildMessage(std::uint64_t cookie, std::uint16_t eventType,
                                                std::span<const std::uint8_t> data);
  // The driver goes away: every notification socket hangs up (poll shows
  // POLLHUP, a receive reads end-of-file). Returns how many hung up.
  std::size_t hangUpNotifications() override;
  // Lets the watchdog expire / demotes a route, delivering the notification.
  void expireWatchdog(std::size_t index = 0);
  bool demoteRoute(std::uint32_t ticket, std::size_t index = 0);

  // --- Time --------------------------------------------------------------------
  // Watchdog timers run on real time; a test may switch to manual time,
  // which moves only by advanceClock() (start() and stop() switch back).
  void useManualClock();
  // Moves manual time forward and lets every watchdog whose countdown has
  // run out expire.
  void advanceClock(std::chrono::nanoseconds step);

  // --- One driver for every process of a run -------------------------------
  // Device files and notification sockets are then the driver's, reached
  // through `socketPath` (a tDriverHost of the launcher); this process keeps
  // the sandbox's paths, the C library call faults and the commands.
  // A driver that cannot be reached counts as gone (see tDriverClient).
  void useDriverAt(const std::string& socketPath);
  bool usesSharedDriver() const noexcept { return driver_ != nullptr; }
  bool sharedDriverGone() const;
  // What the serving side needs: the program's descriptor of a device node
  // or of a notification socket, passed to the driver, becomes the handle
  // the driver knows it by.
  int adoptDevice(int descriptor, const std::string& devicePath) override;
  void adoptSocket(int programEnd, int driverEnd) override;
  // Binds for the given process (its first socket gets its process id as
  // the port); 0 and the port, or -1 with errno.
  int bindSocketFor(int descriptor, const sockaddr* address, socklen_t size, std::uint32_t processId,
                    std::uint32_t& port) override;
  // True once after the driver dropped a message for the socket.
  bool takeSocketOverrun(int descriptor) override;
  // Lets the timers that are due expire; the next deadline on real time.
  std::optional<std::chrono::steady_clock::time_point> serviceTimers() override;
  // Keeps at most `count` entries in the request log (the oldest go first),
  // for a driver that serves for a long time.
  void limitRequestLog(std::size_t count);
  // Keeps only the latest `count` firmware images each device received.
  void limitReceivedImages(std::size_t count);

  // --- Called by the interposed C library functions (under the reentry
  // guard); each answers like the function it stands in for. -------------
  int openPath(const char* path, int flags, mode_t mode);
  FILE* fopenPath(const char* path, const char* mode);
  int closeDescriptor(int descriptor) override;
  int ioctlDescriptor(int descriptor, unsigned long request, void* argument) override;
  int createSocket(int domain, int type, int protocol);
  int bindSocket(int descriptor, const sockaddr* address, socklen_t size);
  int socketName(int descriptor, sockaddr* address, socklen_t* size);
  int getSocketOption(int descriptor, int level, int name, void* value, socklen_t* size);
  int setSocketOption(int descriptor, int level, int name, const void* value, socklen_t size);
  ssize_t receiveMessage(int descriptor, msghdr* message, int flags);
  int pollDescriptors(pollfd* descriptors, nfds_t count, int timeoutMs);
  int statPath(const char* path, struct stat* result);
  FILE* openPipe(const char* command, const char* mode);
  int runCommand(const char* command);
  int globPattern(const char* pattern, int flags, int (*onError)(const char*, int), glob_t* result);

 private:
  class tNodeEvents;

  tSimulator() = default;
  static void lockForFork();
  static void unlockAfterFork();
  static void restartInChild();
  // Stops and forgets every device, socket, fault and log entry; removes a
  // sandbox of its own making.
  void forgetEverything();
  tDeviceNode* openNodeOf(int descriptor) const;
  tDeviceNode& nodeOf(const std::string& interfaceName, std::size_t index) const;
  int transfer(const tDeviceNodes::tOpenFile& device, unsigned long request, void* argument);
  int registerNotification(int descriptor, tDeviceNode& node, const void* argument);
  int unregisterNotification(int descriptor, tDeviceNode& node, std::uint64_t notificationId);
  std::size_t deliver(const tDeviceNode* node, std::uint32_t notificationId, std::uint16_t eventType,
                      std::span<const std::uint8_t> data);
  // Under the lock: what models do at a moment that has come (expiries,
  // demotions); the next such moment on real time (none on manual time, which does not move by itself).
  void expireDueWatchdogs();
  std::optional<std::chrono::steady_clock::time_point> nextRealDeadline() const;
  int pollUntilDeadlines(pollfd* descriptors, nfds_t count, int timeoutMs);
  int pollServed(pollfd* descriptors, nfds_t count, int timeoutMs);
  // Under the lock, when the program reaches for the simulated controller:
  // a program whose run has ended is told so, once.
  void noteSimulatedUse();
  bool faulted(tCall call);
  bool ownsSocket(int descriptor) const;

  mutable std::recursive_mutex lock_;
  tSandbox sandbox_;
  tDeviceNodes devices_;
  tNetlinkHub hub_;
  tNotificationRegistry registry_{hub_};
  tFaultPlan faults_;
  tRequestLog log_;
  std::vector<std::string> commands_;
  tSafeModeInstaller safeMode_;
  tImageAnnouncer images_;
  std::unique_ptr<tDriverClient> driver_;
};

}  // namespace nKESTRELSIM
