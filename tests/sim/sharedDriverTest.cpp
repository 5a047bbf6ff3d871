// What processes of one run share through its driver: values, timers,
// registrations and reservations, released when their holder ends.
#include <atomic>
#include <cstdlib>
#include <fstream>

#include "kestrel/kestrel.h"
#include "kestrel/quill_ra_kestrel.h"
#include "sharedDriverFixture.h"
#include "sim/driver/tDriverChannel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"
#include "tools/quillhost/tFrameworkStatus.h"

namespace {

using namespace nSharedDriver;

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
  // Each program destroyed its routing session: the close of its device
  // released the reservation before the program went on.
  EXPECT_FALSE(anyReserved());
}

// A message the driver drops for a full queue is reported to the program
// in the other process by its next receive, as the kernel does, and to no
// other process.
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
  // Another process can neither learn of the overrun nor take it away.
  nKESTRELSIM::tDriverChannel other;
  ASSERT_TRUE(other.connect(root_ + "/driver"));
  for (int handle = 0; handle < 1024; ++handle) {
    nKESTRELSIM::tChannelMessage question{nKESTRELSIM::tChannelMessageType::kTakeOverrun, {}, {}};
    question.put(handle);
    nKESTRELSIM::tChannelMessage answer;
    ASSERT_TRUE(other.send(question) && other.receive(answer));
    ASSERT_EQ(nKESTRELSIM::tPayloadReader(answer.payload).get<std::int64_t>(), 0) << "handle " << handle;
  }
  std::ofstream(countFile + ".part") << queued;
  std::filesystem::rename(countFile + ".part", countFile);
  EXPECT_EQ(finish(program), 0);
}

}  // namespace
