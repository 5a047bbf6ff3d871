// Demotions relayed to the framework's callback on the session's reader
// thread, and the session's life around that thread.
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "routingFixture.h"
#include "platform/tStatusReport.h"

namespace {

using namespace nKESTREL1400::nDriverWire;
using namespace std::chrono_literals;

constexpr auto kPatience = 10s;

// What the callback saw, for the test thread to wait on.
struct tDemotionLog {
  std::mutex lock;
  std::condition_variable changed;
  int calls = 0;
  std::int32_t event = 0;
  std::string threadName;
  std::thread::id thread;
  bool freshReport = false;

  bool waitFor(int count) {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, kPatience, [&] { return calls >= count; });
  }
};

void recordDemotion(void* context, std::int32_t event, tStatusReport* report) {
  auto& log = *static_cast<tDemotionLog*>(context);
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  // The callee leaves a report text behind; the adaptor releases it.
  const bool fresh = report->code == 0 && report->report == nullptr && report->capacity == 0;
  nKESTREL1400::setCode(*report, -1, {"framework", 1});
  std::lock_guard guard(log.lock);
  log.event = event;
  log.threadName = name;
  log.thread = std::this_thread::get_id();
  log.freshReport = fresh;
  ++log.calls;
  log.changed.notify_all();
}

class DemotionTest : public RoutingTest {};

TEST_F(DemotionTest, ASessionRegistersForDemotionsAndEndsTheRegistration) {
  auto* session = open();
  ASSERT_EQ(sim().registrations().size(), 1u);
  EXPECT_EQ(sim().registrations()[0].notificationId, 0x80000000u);
  EXPECT_EQ(routerRequests().at(0), kGetTopographyName);
  quill_ra_kestrel_destroySession(session);
  EXPECT_TRUE(sim().registrations().empty());
}

TEST_F(DemotionTest, ADemotionReachesTheCallbackOnTheReaderThreadWithEvent101) {
  tDemotionLog log;
  auto* session = open(&recordDemotion, &log);
  const std::uint32_t ticket = route(session, 4, tRouteState::kProgrammed);
  ASSERT_TRUE(sim().demoteRoute(ticket));
  ASSERT_TRUE(log.waitFor(1));
  EXPECT_EQ(log.event, 101);
  EXPECT_EQ(log.threadName, "kestrel");
  EXPECT_NE(log.thread, std::this_thread::get_id());
  EXPECT_TRUE(log.freshReport);
  ASSERT_TRUE(sim().demoteRoute(ticket));
  ASSERT_TRUE(log.waitFor(2));
  EXPECT_TRUE(log.freshReport) << "each demotion gets a report of its own";
  quill_ra_kestrel_destroySession(session);
}

TEST_F(DemotionTest, ASessionWithoutACallbackIgnoresDemotions) {
  auto* session = open();
  const std::uint32_t ticket = route(session, 4, tRouteState::kProgrammed);
  ASSERT_TRUE(sim().demoteRoute(ticket));
  tFrameworkStatus status;
  quill_ra_kestrel_reserveRoute(session, ticket, nullptr, status);
  EXPECT_EQ(status.code(), 0) << "the session still serves: " << status.text();
  quill_ra_kestrel_destroySession(session);
}

TEST_F(DemotionTest, DestroyingASessionWithDemotionsPendingEndsItsThread) {
  const std::size_t threads = threadCount();
  tDemotionLog log;
  auto* session = open(&recordDemotion, &log);
  EXPECT_EQ(threadCount(), threads + 1);
  const std::uint32_t ticket = route(session, 4);
  for (int i = 0; i < 50; ++i) sim().demoteRoute(ticket);
  quill_ra_kestrel_destroySession(session);
  EXPECT_TRUE(threadsSettleAt(threads));
}

TEST_F(DemotionTest, FailedCreationsLeaveNoThreadBehind) {
  const std::size_t threads = threadCount();
  router().setTopographyName("PXICONTTRIGGERROUTER");
  tFrameworkStatus unknown;
  EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), &quillhost::answerAllocator, unknown), nullptr);
  EXPECT_EQ(unknown.code(), zepalerr_badSelector);
  EXPECT_TRUE(reportHas(unknown, "\"tarn_debug\":\"Topography not found: PXICONTTRIGGERROUTER\"")) << unknown.text();
  EXPECT_TRUE(reportHas(unknown, "\"file\":\"TopographyInfoRegistration\",\"line\":36")) << unknown.text();
  router().setTopographyName("pxiContTriggerRouter");

  sim().failRequests(kRegisterNotification, 1, {.error = EIO});
  tFrameworkStatus refused;
  EXPECT_EQ(quill_ra_kestrel_createSession(devicePath().c_str(), &quillhost::answerAllocator, refused), nullptr);
  EXPECT_EQ(refused.code(), brioerr_systemError);
  EXPECT_TRUE(threadsSettleAt(threads));
  EXPECT_TRUE(sim().registrations().empty());
}

// The framework destroys the session from inside its own callback.
struct tSelfDestruction {
  quill_ra_kestrel_session* session = nullptr;
  std::promise<void> done;
};

void destroyOwnSession(void* context, std::int32_t, tStatusReport*) {
  auto& self = *static_cast<tSelfDestruction*>(context);
  quill_ra_kestrel_destroySession(self.session);
  self.done.set_value();
}

TEST_F(DemotionTest, ACallbackMayDestroyItsOwnSession) {
  const std::size_t threads = threadCount();
  tSelfDestruction self;
  auto finished = self.done.get_future();
  self.session = open(&destroyOwnSession, &self);
  ASSERT_TRUE(sim().demoteRoute(route(self.session, 4)));
  ASSERT_EQ(finished.wait_for(kPatience), std::future_status::ready) << "the destruction deadlocked";
  EXPECT_TRUE(threadsSettleAt(threads));
  EXPECT_TRUE(sim().registrations().empty());
  // The next session joins what the last one left behind, and works.
  tDemotionLog log;
  auto* next = open(&recordDemotion, &log);
  ASSERT_TRUE(sim().demoteRoute(route(next, 5)));
  EXPECT_TRUE(log.waitFor(1));
  quill_ra_kestrel_destroySession(next);
  EXPECT_TRUE(threadsSettleAt(threads));
}

// A callback that holds on until the test lets it go.
struct tBlockingCallback {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released{release.get_future().share()};
  std::atomic<bool> returned{false};
};

void blockInCallback(void* context, std::int32_t, tStatusReport*) {
  auto& callback = *static_cast<tBlockingCallback*>(context);
  callback.entered.set_value();
  callback.released.wait();
  callback.returned = true;
}

TEST_F(DemotionTest, DestroyingFromAnotherThreadWaitsForARunningCallback) {
  tBlockingCallback callback;
  auto* session = open(&blockInCallback, &callback);
  ASSERT_TRUE(sim().demoteRoute(route(session, 4)));
  ASSERT_EQ(callback.entered.get_future().wait_for(kPatience), std::future_status::ready);
  auto destroyed = std::async(std::launch::async, [&] {
    quill_ra_kestrel_destroySession(session);
    return callback.returned.load();
  });
  EXPECT_EQ(destroyed.wait_for(50ms), std::future_status::timeout) << "the destruction did not wait";
  callback.release.set_value();
  ASSERT_EQ(destroyed.wait_for(kPatience), std::future_status::ready);
  EXPECT_TRUE(destroyed.get()) << "the session went away while its callback still ran";
}

}  // namespace
