// A simulated controller with its trigger router, driven through the
// routing adaptor's exported functions as the routing framework drives it.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <kestrel/kestrel.h>
#include <kestrel/quill_ra_kestrel.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/models/tTriggerRouterModel.h"
#include "simulatedController.h"
#include "tools/quillhost/tFrameworkStatus.h"

using quillhost::tFrameworkStatus;
using tRouteState = nKESTRELSIM::tTriggerRouterModel::tRouteState;

// An answer pointer the framework owns (released with free).
struct tAnswer {
  char* text = nullptr;
  ~tAnswer() { std::free(text); }
  std::string str() const { return text == nullptr ? std::string() : std::string(text); }
};

// Entries of a /proc/self directory: threads or descriptors.
inline std::size_t countEntries(const char* directory) {
  std::size_t count = 0;
  if (DIR* listing = opendir(directory)) {
    while (dirent* entry = readdir(listing)) count += entry->d_name[0] != '.';
    closedir(listing);
  }
  return count;
}

inline std::size_t threadCount() { return countEntries("/proc/self/task"); }

// Whether the thread count comes back to `count`: a joined thread can stay
// listed for a moment while it finishes its exit, and a reader thread ends
// after its last callback returns.
inline bool threadsSettleAt(std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (threadCount() != count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return threadCount() == count;
}

class RoutingTest : public SimulatedController {
 protected:
  RoutingTest() : devicePath_(sim().addInterface(nKESTREL1400::kTriggerRouterInterface).devicePath) {}

  const std::string& devicePath() const { return devicePath_; }
  static nKESTRELSIM::tTriggerRouterModel& router() { return sim().triggerRouter(); }

  quill_ra_kestrel_session* open(tQuillDemotionFunction demotion = nullptr, void* context = nullptr) {
    tFrameworkStatus status;
    auto* session = quill_ra_kestrel_createSessionWithDemotionFunc(devicePath_.c_str(), &quillhost::answerAllocator,
                                                                   demotion, context, status);
    EXPECT_NE(session, nullptr) << status.code() << " " << status.text();
    return session;
  }

  // A calculated route of `session` to `destination`, made by the driver.
  static std::uint32_t route(quill_ra_kestrel_session* session, std::uint32_t destination,
                             tRouteState state = tRouteState::kCalculated) {
    static std::uint32_t nextTicket = 100;
    const std::uint32_t ticket = nextTicket++;
    router().addRoute(ticket, {reinterpret_cast<std::uintptr_t>(session), 2, {destination}, 0, state});
    return ticket;
  }

  static tRouteState stateOf(std::uint32_t ticket) { return router().routes().at(ticket).state; }

  // Codes of the trigger-router requests the driver received.
  static std::vector<std::uint32_t> routerRequests() {
    std::vector<std::uint32_t> codes;
    for (const auto& request : sim().requests()) {
      if (request.interfaceName == nKESTREL1400::kTriggerRouterInterface) codes.push_back(request.code);
    }
    return codes;
  }

 private:
  std::string devicePath_;
};

// The report member `name` as it stands in the text, e.g. "\"line\":36".
inline bool reportHas(const tFrameworkStatus& status, const std::string& member) {
  return status.text().find(member) != std::string::npos;
}
