// The exported layer: the early return on an error, what reaches the
// caller's status, and that nothing the adaptor throws leaves it.
#include <stdexcept>

#include "routingFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;

class ExportsTest : public RoutingTest {
 protected:
  // A second session, whose answers come from `allocator`, asks for a line
  // the first one holds: the conflict answer needs the allocator's memory,
  // and stays empty when the reservation fails.
  void reserveHeldLine(tQuillAnswerAllocator allocator, tFrameworkStatus& status);
};

TEST_F(ExportsTest, SpeaksApiVersionThree) { EXPECT_EQ(quill_ra_kestrel_getAPIVersion(), 3); }

TEST_F(ExportsTest, AnErrorInTheStatusStopsEveryStatusTakingExportBeforeTheDriver) {
  auto* session = open();
  tFrameworkStatus reader;
  auto* iterator = quill_ra_kestrel_getAllTerminals(session, reader);
  ASSERT_NE(iterator, nullptr);
  sim().clearRequests();

  tFrameworkStatus status(-1);
  tAnswer answer;
  EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), &quillhost::answerAllocator, status), nullptr);
  quill_ra_kestrel_getHandledConstraints(session, &answer.text, status);
  EXPECT_EQ(quill_ra_kestrel_calculateRoute(session, "[]", "[]", "{}", &answer.text, status), 0u);
  quill_ra_kestrel_reserveRoute(session, 1, &answer.text, status);
  quill_ra_kestrel_programRoute(session, 1, status);
  quill_ra_kestrel_getRouteTerminalPath(session, 1, &answer.text, status);
  EXPECT_EQ(quill_ra_kestrel_getAllTerminals(session, status), nullptr);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_calculateResetTerminal(session, iterator, "default", status), 0u);
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator, "default", status);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator, "id", status), 0u);
  EXPECT_FALSE(quill_ra_kestrel_TerminalIterator_getBoolAttribute(iterator, "isOwned", status));
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getStringAttribute(iterator, "name", status), nullptr);
  quill_ra_kestrel_TerminalIterator_next(iterator, status);

  EXPECT_TRUE(sim().requests().empty());
  EXPECT_EQ(status.code(), -1);
  EXPECT_EQ(status.text(), "");
  EXPECT_EQ(answer.text, nullptr);
  EXPECT_EQ(quill_ra_kestrel_TerminalIterator_getU32Attribute(iterator, "id", reader), 1u) << "next did not move";
  quill_ra_kestrel_TerminalIterator_destroy(iterator);
  quill_ra_kestrel_destroySession(session);
}

TEST_F(ExportsTest, AWarningInTheStatusDoesNotStopTheCall) {
  auto* session = open();
  const std::uint32_t ticket = route(session, 4, tRouteState::kReserved);
  tFrameworkStatus status(7);
  quill_ra_kestrel_programRoute(session, ticket, status);
  EXPECT_EQ(status.code(), 7);
  EXPECT_EQ(stateOf(ticket), tRouteState::kProgrammed);
  quill_ra_kestrel_destroySession(session);
}

TEST_F(ExportsTest, NullHandlesAreHarmless) {
  quill_ra_kestrel_destroySession(nullptr);
  quill_ra_kestrel_TerminalIterator_destroy(nullptr);
  quill_ra_kestrel_destroyRoute(nullptr, 1);
  EXPECT_TRUE(quill_ra_kestrel_TerminalIterator_isEnd(nullptr));
  tFrameworkStatus status;
  quill_ra_kestrel_programRoute(nullptr, 1, status);
  EXPECT_EQ(status.code(), brioerr_invalidParameter);
  EXPECT_TRUE(sim().requests().empty());
}

TEST_F(ExportsTest, TeardownCallsSwallowTheirFailures) {
  auto* session = open();
  sim().clearRequests();
  // Unknown tickets: the driver refuses each of them.
  quill_ra_kestrel_destroyRoute(session, 999);
  quill_ra_kestrel_unprogramRoute(session, 999);
  quill_ra_kestrel_unreserveRoute(session, 999);
  quill_ra_kestrel_beginExceptionalRouteDestruction(session, 999);
  EXPECT_EQ(routerRequests(), (std::vector<std::uint32_t>{kDestroyRoute, kUnprogramRoute, kUnreserveRoute}));
  quill_ra_kestrel_destroySession(session);
}

TEST_F(ExportsTest, AnUnopenablePathGivesNoSessionAndTheOpenError) {
  const std::size_t threads = threadCount();
  tFrameworkStatus status;
  EXPECT_EQ(quill_ra_kestrel_createSession("/dev/zesim/kestrel/none", &quillhost::answerAllocator, status), nullptr);
  EXPECT_EQ(status.code(), brioerr_deviceNotFound);
  EXPECT_TRUE(reportHas(status, "\"file\":\"tDeviceInterfaceProxy\"")) << status.text();
  EXPECT_TRUE(threadsSettleAt(threads));
}

TEST_F(ExportsTest, ADevicePathOverTheLimitIsReportedAndRefusedNeverCut) {
  // The first 256 bytes name the real device: cut short, the path would open it.
  std::string path = devicePath() + "/";
  path += std::string(256 - path.size(), '/');
  ASSERT_EQ(path.size(), 256u);
  tFrameworkStatus fits;
  auto* session = quill_ra_kestrel_createSession(path.c_str(), &quillhost::answerAllocator, fits);
  EXPECT_NE(fits.code(), brioerr_invalidParameter) << "256 bytes are within the limit";
  quill_ra_kestrel_destroySession(session);

  path += "x";
  tFrameworkStatus status;
  testing::internal::CaptureStderr();
  EXPECT_EQ(quill_ra_kestrel_createSession(path.c_str(), &quillhost::answerAllocator, status), nullptr);
  const std::string assertion = testing::internal::GetCapturedStderr();
  EXPECT_NE(assertion.find("ASSERT(n <= kMaxSize)"), std::string::npos) << assertion;
  EXPECT_NE(assertion.find("tArray"), std::string::npos) << assertion;
  EXPECT_EQ(status.code(), brioerr_invalidParameter);
  EXPECT_TRUE(reportHas(status, "longer than 256 bytes")) << status.text();
}

TEST_F(ExportsTest, ANullPathOrAllocatorIsRefused) {
  tFrameworkStatus noPath;
  EXPECT_EQ(quill_ra_kestrel_createSession(nullptr, &quillhost::answerAllocator, noPath), nullptr);
  EXPECT_EQ(noPath.code(), brioerr_invalidParameter);
  tFrameworkStatus noAllocator;
  EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), nullptr, noAllocator), nullptr);
  EXPECT_EQ(noAllocator.code(), brioerr_invalidParameter);
}

void* throwingAllocator(void*, std::size_t) { throw std::runtime_error("framework allocator gave up"); }
void* emptyAllocator(void*, std::size_t) { return nullptr; }

// A conflicting reservation delivers an answer through the allocator.
std::uint32_t conflictingTicket(quill_ra_kestrel_session* holder, quill_ra_kestrel_session* asker) {
  const std::uint32_t held = 500;
  const std::uint32_t wanted = 501;
  nKESTRELSIM::tSimulator::instance().triggerRouter().addRoute(
      held, {reinterpret_cast<std::uintptr_t>(holder), 2, {4}, 0, tRouteState::kReserved});
  nKESTRELSIM::tSimulator::instance().triggerRouter().addRoute(
      wanted, {reinterpret_cast<std::uintptr_t>(asker), 2, {4}, 0, tRouteState::kCalculated});
  return wanted;
}

void ExportsTest::reserveHeldLine(tQuillAnswerAllocator allocator, tFrameworkStatus& status) {
  auto* holder = open();
  tFrameworkStatus created;
  auto* asker = quill_ra_kestrel_createSession(devicePath().c_str(), allocator, created);
  ASSERT_NE(asker, nullptr);
  tAnswer conflicts;
  quill_ra_kestrel_reserveRoute(asker, conflictingTicket(holder, asker), &conflicts.text, status);
  EXPECT_EQ(conflicts.text, nullptr);
  quill_ra_kestrel_destroySession(asker);
  quill_ra_kestrel_destroySession(holder);
}

TEST_F(ExportsTest, AnExceptionOfAnyOtherKindIsReportedNotPassedOn) {
  tFrameworkStatus status;
  reserveHeldLine(&throwingAllocator, status);
  EXPECT_EQ(status.code(), brioerr_systemError);
  EXPECT_TRUE(reportHas(status, "framework allocator gave up")) << status.text();
  EXPECT_TRUE(reportHas(status, "\"file\":\"routingAdaptorExports\"")) << status.text();
}

TEST_F(ExportsTest, AnAllocatorWithoutMemoryGivesMemoryFull) {
  tFrameworkStatus status;
  reserveHeldLine(&emptyAllocator, status);
  EXPECT_EQ(status.code(), brioerr_memoryFull);
  EXPECT_TRUE(reportHas(status, "\"error_constant\":\"nBRIOS100::tStatus::kMemoryFull\"")) << status.text();
  EXPECT_TRUE(reportHas(status, "\"file\":\"TarnRoutingAdaptor\"")) << status.text();
}

}  // namespace
