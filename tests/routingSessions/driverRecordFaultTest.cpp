// The routing adaptor against driver answers that do not arrive whole, and
// reports that must stay valid JSON whatever the driver said.
#include <nlohmann/json.hpp>

#include "routingFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;
using nKESTRELSIM::tRecordFault;

class RoutingRecordFaults : public RoutingTest {
 protected:
  static void fail(std::uint32_t code, tRecordFault record, std::uint32_t size = 0) {
    sim().failRequests(code, 1, {.record = record, .size = size});
  }
  static bool isJsonObject(const std::string& text) {
    return nlohmann::json::accept(text) && nlohmann::json::parse(text).is_object();
  }
};

TEST_F(RoutingRecordFaults, ASessionWhoseTopographyAnswerNeverArrivesIsNotCreated) {
  const std::size_t threads = threadCount();
  const std::size_t descriptors = countEntries("/proc/self/fd");
  for (const tRecordFault record : {tRecordFault::kNothingWritten, tRecordFault::kShort}) {
    fail(kGetTopographyName, record);
    tFrameworkStatus status;
    EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), &quillhost::answerAllocator, status), nullptr);
    EXPECT_EQ(status.code(), brioerr_ioFailure);
    EXPECT_TRUE(reportHas(status, R"("file":"tInterfaceProxy_routing","line":288)")) << status.text();
  }
  EXPECT_TRUE(threadsSettleAt(threads));
  EXPECT_EQ(countEntries("/proc/self/fd"), descriptors);
}

TEST_F(RoutingRecordFaults, ReservationsAndPathsWithoutTheirRecordFailAndAnswerNothing) {
  quill_ra_kestrel_session* session = open();
  const std::uint32_t ticket = route(session, 5);
  char* answer = nullptr;
  fail(kReserveRoute, tRecordFault::kNothingWritten);
  tFrameworkStatus reserve;
  quill_ra_kestrel_reserveRoute(session, ticket, &answer, reserve);
  EXPECT_EQ(reserve.code(), brioerr_ioFailure);
  EXPECT_EQ(answer, nullptr);

  fail(kGetRouteTerminalPath, tRecordFault::kShort, 4);
  tFrameworkStatus path;
  quill_ra_kestrel_getRouteTerminalPath(session, ticket, &answer, path);
  EXPECT_LT(path.code(), 0);
  EXPECT_TRUE(isJsonObject(path.text())) << path.text();
  std::free(answer);
  quill_ra_kestrel_destroySession(session);
}

TEST_F(RoutingRecordFaults, ACountBeyondTheRoomOfferedIsBoundedNotRead) {
  quill_ra_kestrel_session* session = open();
  fail(kCalculateRoute, tRecordFault::kOversized, 0x7FFFFFFF);
  char* answer = nullptr;
  tFrameworkStatus status;
  quill_ra_kestrel_calculateRoute(session, R"([{"terminal":"PXI_Trig0","cost":1,"constraints":{}}])",
                                  R"(["PXI_Trig1"])", "{}", &answer, status);
  EXPECT_EQ(status.code(), brioerr_ioFailure);
  EXPECT_TRUE(isJsonObject(status.text())) << status.text();
  std::free(answer);
  quill_ra_kestrel_destroySession(session);
}

// A failed request's report written into a framework's fresh (empty)
// report buffer is a whole object, not members without their braces.
TEST_F(RoutingRecordFaults, AFailedResetReportsIntoAnEmptyFrameworkReportAsAnObject) {
  quill_ra_kestrel_session* session = open();
  tFrameworkStatus walk;
  quill_ra_kestrel_iterator* iterator = quill_ra_kestrel_getAllTerminals(session, walk);
  ASSERT_NE(iterator, nullptr);
  sim().failRequests(kResetTerminal, 1, {.error = EIO});
  tFrameworkStatus status;
  quill_ra_kestrel_TerminalIterator_resetTerminal(iterator, "default", status);
  EXPECT_EQ(status.code(), brioerr_ioFailure);
  EXPECT_EQ(status.text(), R"({"file":"tDeviceInterfaceProxy","line":85,"component":"kestrel"})");
  quill_ra_kestrel_TerminalIterator_destroy(iterator);
  quill_ra_kestrel_destroySession(session);
}

// The driver's topography name goes into the report: bytes that are not
// UTF-8 are replaced there, so the report stays valid JSON.
TEST_F(RoutingRecordFaults, AnUnknownTopographyNameThatIsNotUtf8KeepsTheReportValid) {
  router().setTopographyName("tr\x80ig\xC3\xA9\xED\xA0\x80");
  tFrameworkStatus status;
  EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), &quillhost::answerAllocator, status), nullptr);
  EXPECT_EQ(status.code(), zepalerr_badSelector);
  ASSERT_TRUE(isJsonObject(status.text())) << status.text();
  EXPECT_EQ(nlohmann::json::parse(status.text()).at("tarn_debug"), "Topography not found: tr?ig\xC3\xA9???");
}

}  // namespace
