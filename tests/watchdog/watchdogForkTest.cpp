// A forked child and the sessions of its parent: the child's calls do not
// reach the parent's session, its close leaves the parent's registration,
// timer and descriptors alone, and the child can open sessions of its own,
// also when another thread of the parent was opening and closing at the
// moment of the fork.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "watchdogFixture.h"

namespace {

using nKESTRELSIM::tWatchdogModel;

// What a child found wrong, as its exit status.
enum tChildFault : int {
  kChildOk = 0,
  kParentSessionReachable = 10,
  kCloseReachedTheDriver = 11,
  kOwnOpenFailed = 12,
  kOwnSessionFailed = 13,
};

// Runs `child` in a forked child and returns its exit status, or -1 when it
// crashed, or did not end within a generous bound (it is then killed).
template <class Child>
int inChild(Child child) {
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  if (pid < 0) return -1;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// In the child: the parent's session is not there, and a close of it sends
// nothing; a session of the child's own works.
int childUsesItsOwnSession() {
  auto& sim = nKESTRELSIM::tSimulator::instance();
  if (KESTREL_startWatchdogTimer(kWatchdogHandle) != kestrelerr_invalidHandle) return kParentSessionReachable;
  sim.clearRequests();
  KESTREL_closeWatchdog(kWatchdogHandle);
  if (!sim.requests().empty()) return kCloseReachedTheDriver;
  tKestrelHandle handle = 0;
  if (KESTREL_openWatchdog(&handle) != 0) return kOwnOpenFailed;
  if (KESTREL_petWatchdog(handle) != 0) return kOwnSessionFailed;
  KESTREL_closeWatchdog(handle);
  return kChildOk;
}

TEST_F(WatchdogTest, AForkedChildLeavesTheParentsSessionAlone) {
  open();
  ASSERT_EQ(KESTREL_startWatchdogTimer(kWatchdogHandle), 0);
  EXPECT_EQ(inChild(childUsesItsOwnSession), kChildOk);

  // The parent's session still hears the driver, and its timer runs.
  EXPECT_EQ(model().state(), tWatchdogModel::tState::kRunning);
  send({1});
  const tWaitResult result = waitNow();
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.value, 1);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), 0);
  KESTREL_closeWatchdog(kWatchdogHandle);
  EXPECT_EQ(model().state(), tWatchdogModel::tState::kStopped);
}

// Forks while another thread opens and closes both sessions: the child
// finds usable locks every time.
TEST_F(WatchdogTest, AChildForkedDuringOpenAndCloseOnAnotherThreadCanOpen) {
  constexpr int kForks = 12;
  // The library prepares for forks from its first call on: a fork racing
  // the very first call of a session kind is not covered.
  tKestrelHandle unused = 0;
  ASSERT_EQ(KESTREL_openController(&unused), kestrelerr_deviceNotAvailable);
  ASSERT_EQ(KESTREL_openWatchdog(&unused), 0);
  KESTREL_closeWatchdog(unused);
  std::atomic<bool> done{false};
  std::thread busy([&] {
    while (!done) {
      tKestrelHandle handle = 0;
      if (KESTREL_openWatchdog(&handle) == 0) KESTREL_closeWatchdog(handle);
      KESTREL_openController(&handle);  // no controller here: fails, under the lock
    }
  });
  int failures = 0;
  for (int i = 0; i < kForks; ++i) {
    const int status = inChild([] {
      tKestrelHandle handle = 0;
      if (KESTREL_openController(&handle) != kestrelerr_deviceNotAvailable) return static_cast<int>(kOwnOpenFailed);
      if (KESTREL_openWatchdog(&handle) != 0) return static_cast<int>(kOwnOpenFailed);
      const bool petted = KESTREL_petWatchdog(handle) == 0;
      KESTREL_closeWatchdog(handle);
      return static_cast<int>(petted ? kChildOk : kOwnSessionFailed);
    });
    if (status != kChildOk) ++failures;
  }
  done = true;
  busy.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
