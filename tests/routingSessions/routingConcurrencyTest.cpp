// Demotions arriving while the framework reserves, programs and destroys
// routes on two threads, and sessions made and destroyed while demotions
// arrive. Run under ThreadSanitizer in CI.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "routingFixture.h"

namespace {

void countDemotion(void* context, std::int32_t event, tStatusReport*) {
  if (event == 101) static_cast<std::atomic<int>*>(context)->fetch_add(1);
}

class RoutingConcurrencyTest : public RoutingTest {};

TEST_F(RoutingConcurrencyTest, DemotionsArriveWhileTwoThreadsDriveTheirRoutes) {
  std::atomic<int> demotions{0};
  auto* session = open(&countDemotion, &demotions);
  constexpr int kRounds = 200;
  std::vector<std::uint32_t> tickets[2];
  for (int i = 0; i < kRounds; ++i) {
    tickets[0].push_back(route(session, 4));
    tickets[1].push_back(route(session, 5));
  }
  const std::uint32_t kept = route(session, 6, tRouteState::kProgrammed);
  std::atomic<bool> running{true};
  std::thread demoter([&] {
    for (std::uint32_t i = 0; running; ++i) sim().demoteRoute(i % 3 == 2 ? kept : tickets[i % 3][(i / 3) % kRounds]);
  });
  auto drive = [&](const std::vector<std::uint32_t>& mine) {
    for (const std::uint32_t ticket : mine) {
      tFrameworkStatus status;
      quill_ra_kestrel_reserveRoute(session, ticket, nullptr, status);
      quill_ra_kestrel_programRoute(session, ticket, status);
      quill_ra_kestrel_unprogramRoute(session, ticket);
      quill_ra_kestrel_unreserveRoute(session, ticket);
      quill_ra_kestrel_destroyRoute(session, ticket);
    }
  };
  std::thread first(drive, tickets[0]);
  std::thread second(drive, tickets[1]);
  first.join();
  second.join();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (demotions.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  running = false;
  demoter.join();
  quill_ra_kestrel_destroySession(session);
  EXPECT_GT(demotions.load(), 0);
  EXPECT_EQ(router().routes().size(), 1u) << "every driven route destroyed";
}

TEST_F(RoutingConcurrencyTest, SessionsComeAndGoWhileDemotionsArrive) {
  // A sanitizer runtime starts a thread of its own at the first thread the
  // program creates: count after one session has come and gone.
  quill_ra_kestrel_destroySession(open());
  const std::size_t threads = threadCount();
  std::atomic<int> demotions{0};
  std::atomic<bool> running{true};
  auto* keeper = open(&countDemotion, &demotions);
  const std::uint32_t ticket = route(keeper, 4, tRouteState::kProgrammed);
  std::thread demoter([&] {
    while (running) sim().demoteRoute(ticket);
  });
  auto churn = [&] {
    for (int i = 0; i < 30; ++i) quill_ra_kestrel_destroySession(open(&countDemotion, &demotions));
  };
  std::thread first(churn);
  std::thread second(churn);
  first.join();
  second.join();
  running = false;
  demoter.join();
  quill_ra_kestrel_destroySession(keeper);
  EXPECT_GT(demotions.load(), 0);
  EXPECT_TRUE(threadsSettleAt(threads));
}

}  // namespace
