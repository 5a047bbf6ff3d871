// The routing framework's view: the adaptor loaded with dlopen, its 22
// functions resolved by name, sessions driven through them, and a hundred
// load, use and unload cycles that leave no thread, descriptor or byte.
#include <chrono>
#include <thread>

#include "routingFixture.h"
#ifdef KESTREL_COUNT_LIVE_HEAP
#include "liveHeap.h"
#endif
#include "tools/quillhost/hostSession.h"
#include "tools/quillhost/terminalTable.h"
#include "tools/quillhost/tQuillAdaptor.h"

namespace {

using namespace std::chrono_literals;
using quillhost::tQuillAdaptor;

class RoutingHostTest : public RoutingTest {
 protected:
  static std::unique_ptr<tQuillAdaptor> load() {
    std::string error;
    auto adaptor = tQuillAdaptor::load(KESTREL_LIBRARY, error);
    EXPECT_NE(adaptor, nullptr) << error;
    return adaptor;
  }

  // One cycle as the framework runs it: a session, its terminals, a route
  // through reserve to destroy, a demotion waited for, then everything
  // released and the library unloaded.
  bool useOnce() {
    auto adaptor = load();
    if (!adaptor) return false;
    const auto& functions = adaptor->functions();
    tFrameworkStatus status;
    bool ok = false;
    {
      quillhost::tHostSession session(functions, devicePath(), status);
      if (session.handle() == nullptr) return false;
      const auto terminals = quillhost::readTerminals(functions, session.handle(), status);
      const std::uint32_t ticket = route(session.handle(), 4);
      functions.reserveRoute(session.handle(), ticket, nullptr, status);
      functions.programRoute(session.handle(), ticket, status);
      sim().demoteRoute(ticket);
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (session.demotions() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
      functions.destroyRoute(session.handle(), ticket);
      ok = terminals.size() == 11 && session.demotions() == 1 && session.lastEvent() == 101 && !status.isError();
    }
    sim().clearRequests();  // the simulator's log is not the adaptor's memory
    return ok;
  }
};

TEST_F(RoutingHostTest, TheAdaptorOffersAllItsFunctionsAtVersionThree) {
  auto adaptor = load();
  ASSERT_NE(adaptor, nullptr);
  EXPECT_EQ(adaptor->functions().getAPIVersion(), 3);
  EXPECT_FALSE(quillhost::triggerRouterPath(adaptor->library()).empty());
}

TEST_F(RoutingHostTest, ALibraryThatIsNoAdaptorIsRefusedByName) {
  std::string error;
  EXPECT_EQ(tQuillAdaptor::load("libc.so.6", error), nullptr);
  EXPECT_EQ(error, "the adaptor lacks quill_ra_kestrel_getAPIVersion");
  EXPECT_EQ(tQuillAdaptor::load("/nonexistent/libkestrel.so.1", error), nullptr);
  EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
}

TEST_F(RoutingHostTest, AHundredCyclesLeaveNothingBehind) {
  // The first uses: the loader's and the C library's one-time allocations.
  for (int cycle = 0; cycle < 3; ++cycle) ASSERT_TRUE(useOnce());
  const std::size_t threads = threadCount();
  const std::size_t descriptors = countEntries("/proc/self/fd");
#ifdef KESTREL_COUNT_LIVE_HEAP
  const auto before = kestrelTest::liveHeap();
  ASSERT_GT(before.blocks, 0) << "the count sees the allocations";
#endif
  for (int cycle = 0; cycle < 100; ++cycle) ASSERT_TRUE(useOnce()) << "cycle " << cycle;
  EXPECT_TRUE(threadsSettleAt(threads));
  EXPECT_EQ(countEntries("/proc/self/fd"), descriptors);
#ifdef KESTREL_COUNT_LIVE_HEAP
  const auto after = kestrelTest::liveHeap();
  EXPECT_EQ(after.blocks, before.blocks) << "blocks in use";
  EXPECT_EQ(after.bytes, before.bytes) << "bytes in use";
#endif
}

#ifdef KESTREL_COUNT_LIVE_HEAP
TEST_F(RoutingHostTest, MemoryShortInsideAnExportIsReportedAsMemoryFull) {
  auto adaptor = load();
  ASSERT_NE(adaptor, nullptr);
  const auto& functions = adaptor->functions();
  tFrameworkStatus opened;
  quillhost::tHostSession session(functions, devicePath(), opened);
  ASSERT_NE(session.handle(), nullptr);
  router().scriptConflicts(4096);  // an answer of some 100 kB
  const std::uint32_t ticket = route(session.handle(), 4);
  tFrameworkStatus status;
  char* untouched = nullptr;
  kestrelTest::failAllocationsFrom(16 * 1024);
  functions.reserveRoute(session.handle(), ticket, &untouched, status);
  kestrelTest::failAllocationsFrom(0);
  EXPECT_EQ(status.code(), brioerr_memoryFull);
  EXPECT_NE(status.text().find("\"error_constant\":\"nBRIOS100::tStatus::kMemoryFull\",\"file\":\"routingAdaptorExports\""),
            std::string::npos)
      << status.text();
  EXPECT_EQ(untouched, nullptr);
}
#endif

}  // namespace
