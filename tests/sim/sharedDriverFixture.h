// One simulated driver for several processes: the test process serves it
// (as kestrel-sim does) and forked children are the programs, each a client
// of it through its own connection.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kestrel/kestrel.h"
#include "kestrel/quill_ra_kestrel.h"
#include "programRun.h"
#include "sim/driver/tDriverHost.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/profile/tProfile.h"
#include "sim/system/tSimulator.h"
#include "tools/quillhost/tFrameworkStatus.h"

namespace nSharedDriver {

using nKESTRELSIM::tDriverHost;
using nKESTRELSIM::tProfile;
using nKESTRELSIM::tSimulator;
using tRouteState = nKESTRELSIM::tTriggerRouterModel::tRouteState;
using namespace std::chrono_literals;

// True once `condition` holds, checked for up to ten seconds.
inline bool eventually(const std::function<bool()>& condition) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

class SharedDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-shared.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    sim().start(root_);
    tProfile::defaults().apply(sim(), true);
    host_ = std::make_unique<tDriverHost>(sim(), root_ + "/driver");
    host_->start();
  }

  void TearDown() override {
    for (const pid_t child : children_) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    host_.reset();
    sim().stop();
    std::filesystem::remove_all(root_);
  }

  static tSimulator& sim() { return tSimulator::instance(); }

  // A program of the run: `body` runs in a child process connected to the
  // driver; its result is the child's exit status.
  pid_t start(const std::function<int()>& body) {
    // No thread of the driver runs across the fork: a lock it held (the
    // address sanitizer's allocator, say) would stay held in the child.
    host_->stop();
    const pid_t child = fork();
    if (child != 0) host_->start();
    if (child == 0) {
      int result = 99;
      try {
        sim().start(root_);
        tProfile::defaults().apply(sim(), false);
        sim().useDriverAt(root_ + "/driver");
        result = body();
      } catch (...) {
      }
      _exit(result);
    }
    children_.push_back(child);
    return child;
  }

  int finish(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    std::erase(children_, child);
    return kestrelTest::shellExitCode(status);
  }

  int run(const std::function<int()>& body) { return finish(start(body)); }

  // The child's exit status, or -1 after killing it when it has not ended
  // within `patience` (a program the driver no longer answers).
  int finishWithin(pid_t child, std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= until) {
        crash(child);
        return -1;
      }
      std::this_thread::sleep_for(1ms);
    }
    std::erase(children_, child);
    return kestrelTest::shellExitCode(status);
  }

  void crash(pid_t child) {
    kill(child, SIGKILL);
    finish(child);
  }

  std::string root_;
  std::unique_ptr<tDriverHost> host_;
  std::vector<pid_t> children_;
};

// Reserves a route to PXI_Trig3; 0 when reserved, 10 on a conflict.
inline int reserveTrig3(bool stay) {
  char path[256];
  uint64_t length = sizeof path;
  if (KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, path, &length) < 0) return 2;
  quillhost::tFrameworkStatus status;
  auto* session = quill_ra_kestrel_createSession(path, &quillhost::answerAllocator, status);
  if (session == nullptr) return 3;
  char* answer = nullptr;
  const uint32_t ticket = quill_ra_kestrel_calculateRoute(
      session, R"([{"terminal":"PXI_Trig0","cost":0,"constraints":{}}])", R"(["PXI_Trig3"])", "{}", &answer, status);
  std::free(answer);
  answer = nullptr;
  quillhost::tFrameworkStatus reserved;
  quill_ra_kestrel_reserveRoute(session, ticket, &answer, reserved);
  std::free(answer);
  if (reserved.code() == quillerr_reservationConflict) return 10;
  if (reserved.code() < 0) return 4;
  while (stay) pause();
  quill_ra_kestrel_destroySession(session);
  return 0;
}

inline bool anyReserved() {
  for (const auto& [ticket, route] : tSimulator::instance().triggerRouter().routes()) {
    if (route.state != tRouteState::kCalculated) return true;
  }
  return false;
}

}  // namespace nSharedDriver
