// What a kestrelctl watchdog command leaves behind: run inside this process
// against the simulated watchdog, while "another program" (this test) holds
// its own session and has armed the timer.
#include <gtest/gtest.h>
#include <kestrel/kestrel.h>

#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "sim/models/tWatchdogModel.h"
#include "simulatedController.h"
#include "tools/kestrelctl/attributeCatalog.h"
#include "tools/kestrelctl/watchdogCommands.h"
#include "tools/kestrelctl/watchdogVocabulary.h"

namespace {

using kestrelctl::tWatchdogCommand;
using State = nKESTRELSIM::tWatchdogModel::tState;

class WatchdogToolPolicy : public SimulatedController {
 protected:
  WatchdogToolPolicy() { sim().addInterface(nKESTREL1400::kWatchdogInterface); }
  ~WatchdogToolPolicy() override {
    while (sessionOpen()) KESTREL_closeWatchdog(kWatchdogHandle);
  }

  static bool sessionOpen() {
    std::uint32_t ignored = 0;
    return KESTREL_getAttributeU32(kWatchdogHandle, KESTREL_WATCHDOG_ATTR_STATE, &ignored) != kestrelerr_invalidHandle;
  }

  // How many closes it takes to end the process's watchdog session.
  static int references() {
    int count = 0;
    for (; sessionOpen() && count < 16; ++count) KESTREL_closeWatchdog(kWatchdogHandle);
    return count;
  }

  static int run(tWatchdogCommand command, const char* attribute = "state") {
    kestrelctl::tWatchdogRequest request;
    request.attribute = kestrelctl::findWatchdogAttribute(attribute);
    request.attributeText = attribute;
    request.value = 1000;
    return kestrelctl::runWatchdogCommand(command, request);
  }

  static std::size_t stopRequests() {
    std::size_t count = 0;
    for (const auto& logged : sim().requests())
      count += logged.code == nKESTREL1400::nDriverWire::kStopWatchdogTimer ? 1 : 0;
    return count;
  }

  static nKESTRELSIM::tWatchdogModel& model() { return sim().watchdog(); }
};

TEST_F(WatchdogToolPolicy, ReadsAndWritesNeverStopATimerAnotherProgramArmed) {
  tKestrelHandle handle = 0;
  ASSERT_EQ(KESTREL_openWatchdog(&handle), 0);
  ASSERT_EQ(KESTREL_startWatchdogTimer(handle), 0);
  const std::size_t stopsBefore = stopRequests();
  for (const auto command : {tWatchdogCommand::status, tWatchdogCommand::get, tWatchdogCommand::pet}) {
    EXPECT_EQ(run(command), 0);
  }
  EXPECT_EQ(run(tWatchdogCommand::set, "timeout"), 0);
  EXPECT_EQ(model().state(), State::kRunning);
  EXPECT_EQ(stopRequests(), stopsBefore);
  // The program's own reference, and the four the commands left open.
  EXPECT_EQ(references(), 5);
}

TEST_F(WatchdogToolPolicy, StartLeavesTheTimerArmedAndStopEndsTheSession) {
  EXPECT_EQ(run(tWatchdogCommand::start), 0);
  EXPECT_EQ(model().state(), State::kRunning);
  EXPECT_EQ(stopRequests(), 0u);
  EXPECT_EQ(run(tWatchdogCommand::stop), 0);
  EXPECT_EQ(model().state(), State::kStopped);
  // stop closed its own session; start's session is still open.
  EXPECT_EQ(references(), 1);
}

// A close would turn an expired timer into a stopped one: a look leaves
// its session to the end of the program, whatever the state it found.
TEST_F(WatchdogToolPolicy, ALookLeavesAnExpiredTimerExpired) {
  tKestrelHandle handle = 0;
  ASSERT_EQ(KESTREL_openWatchdog(&handle), 0);
  ASSERT_EQ(KESTREL_setAttributeU32(handle, KESTREL_WATCHDOG_ATTR_TIMEOUT, 1), 0);
  ASSERT_EQ(KESTREL_startWatchdogTimer(handle), 0);
  std::int32_t notification = 0;
  ASSERT_EQ(KESTREL_waitForWatchdogNotification(handle, &notification), 0);
  ASSERT_EQ(model().state(), State::kExpired);
  const std::size_t stopsBefore = stopRequests();
  for (const auto command : {tWatchdogCommand::status, tWatchdogCommand::get}) EXPECT_EQ(run(command), 0);
  EXPECT_EQ(run(tWatchdogCommand::set, "timeout"), 0);
  EXPECT_EQ(model().state(), State::kExpired);
  EXPECT_EQ(stopRequests(), stopsBefore);
  EXPECT_EQ(references(), 4);
}

TEST_F(WatchdogToolPolicy, ALookAtAStoppedTimerLeavesItStopped) {
  EXPECT_EQ(run(tWatchdogCommand::get), 0);
  EXPECT_EQ(model().state(), State::kStopped);
  EXPECT_EQ(stopRequests(), 0u);
}

}  // namespace
