// Route tickets through reserve, program, unprogram, unreserve and destroy,
// and the conflict answer of a reservation.
#include <nlohmann/json.hpp>

#include "routingFixture.h"

namespace {

using namespace nKESTREL1400::nDriverWire;
using nlohmann::json;

class RouteTicketTest : public RoutingTest {
 protected:
  RouteTicketTest() : session_(open()) {}
  ~RouteTicketTest() override { quill_ra_kestrel_destroySession(session_); }

  quill_ra_kestrel_session* session() const { return session_; }

 private:
  quill_ra_kestrel_session* session_;
};

TEST_F(RouteTicketTest, EachStepIsOneDriverRequestWithTheTicket) {
  const std::uint32_t ticket = route(session(), 5);
  tFrameworkStatus status;
  char* untouched = reinterpret_cast<char*>(0x1);
  sim().clearRequests();
  quill_ra_kestrel_reserveRoute(session(), ticket, &untouched, status);
  EXPECT_EQ(untouched, reinterpret_cast<char*>(0x1)) << "a free reservation answers nothing";
  EXPECT_EQ(stateOf(ticket), tRouteState::kReserved);
  quill_ra_kestrel_programRoute(session(), ticket, status);
  EXPECT_EQ(stateOf(ticket), tRouteState::kProgrammed);
  quill_ra_kestrel_beginExceptionalRouteDestruction(session(), ticket);
  quill_ra_kestrel_unprogramRoute(session(), ticket);
  quill_ra_kestrel_unreserveRoute(session(), ticket);
  EXPECT_EQ(stateOf(ticket), tRouteState::kCalculated);
  quill_ra_kestrel_destroyRoute(session(), ticket);
  EXPECT_EQ(router().routes().count(ticket), 0u);
  EXPECT_EQ(status.code(), 0) << status.text();
  EXPECT_EQ(routerRequests(), (std::vector<std::uint32_t>{kReserveRoute, kProgramRoute, kUnprogramRoute,
                                                           kUnreserveRoute, kDestroyRoute}));
  const auto reserve = sim().requests(kReserveRoute).at(0).input;
  tTicketArrayInput input{};
  std::memcpy(&input, reserve.data(), sizeof input);
  EXPECT_EQ(input.ticket, ticket);
  EXPECT_EQ(input.count, 8u);
}

TEST_F(RouteTicketTest, AFailingProgramIsReportedWithTheDriversPlace) {
  tFrameworkStatus status;
  quill_ra_kestrel_programRoute(session(), 4242, status);
  EXPECT_EQ(status.code(), brioerr_invalidParameter);
  EXPECT_TRUE(reportHas(status, "\"file\":\"tInterfaceProxy_routing\"")) << status.text();
  EXPECT_TRUE(reportHas(status, "\"line\":180")) << status.text();
}

TEST_F(RouteTicketTest, SessionsOfOneProcessReservingOneLineConflict) {
  quill_ra_kestrel_session* others[] = {open(), open(), open()};
  json expected = json::array();
  for (auto* other : others) {
    const std::uint32_t held = route(other, 6, tRouteState::kReserved);
    expected.push_back({{"sessionId", reinterpret_cast<std::uintptr_t>(other)}, {"ticket", held}});
  }
  tFrameworkStatus status;
  tAnswer conflicts;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 6), &conflicts.text, status);
  EXPECT_EQ(status.code(), quillerr_reservationConflict);
  ASSERT_NE(conflicts.text, nullptr);
  EXPECT_EQ(json::parse(conflicts.str()), expected);
  for (auto* other : others) quill_ra_kestrel_destroySession(other);
}

TEST_F(RouteTicketTest, ConflictsBeyondTheFirstEightAnswerAsZeroRecords) {
  router().scriptConflicts(10);
  tFrameworkStatus status;
  tAnswer conflicts;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 7), &conflicts.text, status);
  EXPECT_EQ(status.code(), quillerr_reservationConflict);
  const json answer = json::parse(conflicts.str());
  ASSERT_EQ(answer.size(), 10u);
  EXPECT_NE(answer[7]["sessionId"], 0);
  for (std::size_t i = 8; i < 10; ++i) {
    EXPECT_EQ(answer[i], (json{{"sessionId", 0}, {"ticket", 0}})) << i;
  }
  EXPECT_EQ(conflicts.str().find("\"sessionId\""), 2u) << "sessionId comes first: " << conflicts.str();
}

TEST_F(RouteTicketTest, AnImplausibleConflictCountIsADriverErrorNotAnAllocation) {
  router().scriptConflicts(0xFFFFFFF0u);
  tFrameworkStatus status;
  char* untouched = nullptr;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 8), &untouched, status);
  EXPECT_EQ(status.code(), brioerr_ioFailure);
  EXPECT_TRUE(reportHas(status, "4294967280 reservation conflicts")) << status.text();
  EXPECT_EQ(untouched, nullptr);

  router().scriptConflicts(4096);
  tFrameworkStatus atBound;
  tAnswer conflicts;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 9), &conflicts.text, atBound);
  EXPECT_EQ(atBound.code(), quillerr_reservationConflict);
  EXPECT_EQ(json::parse(conflicts.str()).size(), 4096u);
}

TEST_F(RouteTicketTest, AConflictWithoutAnAnswerPointerIsStillReported) {
  auto* other = open();
  route(other, 12, tRouteState::kReserved);
  tFrameworkStatus status;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 12), nullptr, status);
  EXPECT_EQ(status.code(), quillerr_reservationConflict);
  quill_ra_kestrel_destroySession(other);
}

TEST_F(RouteTicketTest, OtherReservationFailuresLeaveTheAnswerAlone) {
  sim().failRequests(kReserveRoute, 1, {.error = 0, .status = brioerr_busy});
  tFrameworkStatus status;
  char* untouched = nullptr;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 10), &untouched, status);
  EXPECT_EQ(status.code(), brioerr_busy);
  EXPECT_EQ(untouched, nullptr);
}

TEST_F(RouteTicketTest, AnAnswerReusesTheCallersBuffer) {
  router().scriptConflicts(1, 2);
  tFrameworkStatus first;
  tAnswer conflicts;
  conflicts.text = static_cast<char*>(std::malloc(4));
  quill_ra_kestrel_reserveRoute(session(), route(session(), 11), &conflicts.text, first);
  tFrameworkStatus second;
  quill_ra_kestrel_reserveRoute(session(), route(session(), 11), &conflicts.text, second);
  EXPECT_EQ(json::parse(conflicts.str()).size(), 1u);  // ASan: the old buffer was reallocated, not leaked
}

}  // namespace
