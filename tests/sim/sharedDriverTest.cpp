// One simulated driver for several processes: this test process serves it
// (as kestrel-sim does) and forked children are the programs, each a client
// of it through its own connection.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "kestrel/kestrel.h"
#include "kestrel/quill_ra_kestrel.h"
#include "tDriverHost.h"
#include "tProfile.h"
#include "tSimulator.h"
#include "tTriggerRouterModel.h"
#include "tWatchdogModel.h"
#include "tools/quillhost/tFrameworkStatus.h"

namespace {

using nKESTRELSIM::tDriverHost;
using nKESTRELSIM::tProfile;
using nKESTRELSIM::tSimulator;
using tRouteState = nKESTRELSIM::tTriggerRouterModel::tRouteState;
using namespace std::chrono_literals;

// True once `condition` holds, checked for up to ten seconds.
bool eventually(const std::function<bool()>& condition) {
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
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  int run(const std::function<int()>& body) { return finish(start(body)); }

  void crash(pid_t child) {
    kill(child, SIGKILL);
    finish(child);
  }

  std::string root_;
  std::unique_ptr<tDriverHost> host_;
  std::vector<pid_t> children_;
};

int setTimeout(std::uint32_t value) {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
  const int result = KESTREL_setAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, value) < 0 ? 3 : 0;
  KESTREL_closeWatchdog(watchdog);
  return result;
}

// The last close of a watchdog session stops the timer: a reader that must
// leave it running ends without closing.
int readU32(std::uint32_t attribute, std::uint32_t expected, bool close = true) {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
  std::uint32_t value = 0;
  const int32_t code = KESTREL_getAttributeU32(watchdog, attribute, &value);
  if (close) KESTREL_closeWatchdog(watchdog);
  return code < 0 ? 3 : value == expected ? 0 : 4;
}

// Starts the timer and ends without closing the session.
int startAndLeave() {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) < 0 || KESTREL_setAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, 60000) < 0 ||
      KESTREL_startWatchdogTimer(watchdog) < 0) {
    return 2;
  }
  return 0;
}

// Opens the watchdog (which registers for its notifications) and stays.
int openAndStay() {
  tKestrelHandle watchdog = 0;
  if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
  for (;;) pause();
}

// Reserves a route to PXI_Trig3; 0 when reserved, 10 on a conflict.
int reserveTrig3(bool stay) {
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

bool anyReserved() {
  for (const auto& [ticket, route] : tSimulator::instance().triggerRouter().routes()) {
    if (route.state != tRouteState::kCalculated) return true;
  }
  return false;
}

TEST_F(SharedDriverTest, WhatOneProcessWritesTheNextReads) {
  ASSERT_EQ(run([] { return setTimeout(4321); }), 0);
  EXPECT_EQ(run([] { return readU32(KESTREL_WATCHDOG_ATTR_TIMEOUT, 4321); }), 0);
  EXPECT_EQ(sim().watchdog().attributes().u32(KESTREL_WATCHDOG_ATTR_TIMEOUT), 4321u);
}

TEST_F(SharedDriverTest, AWatchdogStartedByOneProcessRunsOnForTheOthers) {
  ASSERT_EQ(run(startAndLeave), 0);
  EXPECT_EQ(run([] { return readU32(KESTREL_WATCHDOG_ATTR_STATE, KESTREL_WATCHDOG_STATE_RUNNING, false); }), 0);
  EXPECT_EQ(sim().watchdog().state(), nKESTRELSIM::tWatchdogModel::tState::kRunning);
}

TEST_F(SharedDriverTest, AProfileCanStopTheWatchdogWhenItsStarterEnds) {
  sim().watchdog().stopWhenStarterCloses(true);
  ASSERT_EQ(run(startAndLeave), 0);
  EXPECT_TRUE(eventually([] { return sim().watchdog().state() == nKESTRELSIM::tWatchdogModel::tState::kStopped; }));
}

TEST_F(SharedDriverTest, ARegistrationEndsWithItsProcess) {
  const pid_t child = start(openAndStay);
  ASSERT_TRUE(eventually([] { return sim().registrations().size() == 1; }));
  crash(child);
  EXPECT_TRUE(eventually([] { return sim().registrations().empty(); }));
  EXPECT_TRUE(sim().ports().empty());
}

TEST_F(SharedDriverTest, SessionsOfTwoProcessesConflictUntilTheHolderCrashes) {
  const pid_t holder = start([] { return reserveTrig3(true); });
  ASSERT_TRUE(eventually(anyReserved));
  EXPECT_EQ(run([] { return reserveTrig3(false); }), 10);
  crash(holder);
  EXPECT_TRUE(eventually([] { return !anyReserved(); }));
  EXPECT_EQ(run([] { return reserveTrig3(false); }), 0);
}

TEST_F(SharedDriverTest, AForkedChildHoldsWhatItInherited) {
  // A program reserves, forks a child that stays, and ends without closing:
  // the reservation lasts as long as the child holds the descriptor it
  // inherited.
  const std::string pidFile = root_ + "/child.pid";
  ASSERT_EQ(run([&] {
              char path[256];
              uint64_t length = sizeof path;
              KESTREL_getAttributeUTF8(0, kTriggerRouterPathAttribute, path, &length);
              quillhost::tFrameworkStatus status;
              auto* session = quill_ra_kestrel_createSession(path, &quillhost::answerAllocator, status);
              char* answer = nullptr;
              const uint32_t ticket = quill_ra_kestrel_calculateRoute(
                  session, R"([{"terminal":"PXI_Trig0","cost":0,"constraints":{}}])", R"(["PXI_Trig3"])", "{}",
                  &answer, status);
              quill_ra_kestrel_reserveRoute(session, ticket, &answer, status);
              const pid_t child = fork();
              if (child == 0) {
                for (;;) pause();
              }
              std::ofstream(pidFile) << child;
              return status.code() < 0 ? 1 : 0;
            }),
            0);
  pid_t child = 0;
  std::ifstream(pidFile) >> child;
  ASSERT_GT(child, 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(anyReserved());
  kill(child, SIGKILL);
  EXPECT_TRUE(eventually([] { return !anyReserved(); }));
}

// Processes and threads in them open, use and close sessions at once; what
// they leave behind when they end is nothing.
TEST_F(SharedDriverTest, ManyProcessesWithThreadsOpenAndCloseAtOnce) {
  auto busy = [] {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
      threads.emplace_back([&failures, t] {
        for (int round = 0; round < 30; ++round) {
          tKestrelHandle watchdog = 0;
          tKestrelHandle controller = 0;
          std::uint32_t value = 0;
          if (KESTREL_openWatchdog(&watchdog) < 0 ||
              KESTREL_setAttributeU32(watchdog, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1000 + t) < 0 ||
              KESTREL_openController(&controller) < 0 ||
              KESTREL_getAttributeU32(controller, KESTREL_ATTR_BOARD_ID, &value) < 0) {
            ++failures;
          }
          KESTREL_closeController(controller);
          KESTREL_closeWatchdog(watchdog);
        }
      });
    }
    for (auto& thread : threads) thread.join();
    return failures.load() == 0 && reserveTrig3(false) != 4 ? 0 : 1;
  };
  std::vector<pid_t> programs;
  for (int i = 0; i < 6; ++i) programs.push_back(start(busy));
  for (const pid_t program : programs) EXPECT_EQ(finish(program), 0);
  EXPECT_TRUE(eventually([] { return sim().registrations().empty() && sim().ports().empty(); }));
  EXPECT_FALSE(anyReserved());
}

// A message the driver drops for a full queue is reported to the program
// in the other process by its next receive, as the kernel does.
TEST_F(SharedDriverTest, AnOverflowReachesTheProgramInItsProcess) {
  const std::string countFile = root_ + "/queued";
  const pid_t program = start([&] {
    tKestrelHandle watchdog = 0;
    if (KESTREL_openWatchdog(&watchdog) < 0) return 2;
    int queued = 0;
    while (!(std::ifstream(countFile) >> queued)) std::this_thread::sleep_for(5ms);
    std::int32_t value = -1;
    if (KESTREL_waitForWatchdogNotification(watchdog, &value) != brioerr_noBuffers) return 3;
    for (int i = 0; i < queued; ++i) {
      if (KESTREL_waitForWatchdogNotification(watchdog, &value) != 0 || value != 1) return 4;
    }
    KESTREL_closeWatchdog(watchdog);
    return 0;
  });
  ASSERT_TRUE(eventually([] { return sim().registrations().size() == 1; }));
  int queued = 0;
  while (sim().sendNotification(0x70, std::vector<std::uint8_t>{1}) == 1 && queued < 1000000) ++queued;
  ASSERT_GT(queued, 0);
  std::ofstream(countFile + ".part") << queued;
  std::filesystem::rename(countFile + ".part", countFile);
  EXPECT_EQ(finish(program), 0);
}

}  // namespace
