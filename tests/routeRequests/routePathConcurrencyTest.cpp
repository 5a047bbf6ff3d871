// Many sessions ask for long paths at once: they share the path room of the
// process without a data race, and every answer is whole. Run under
// ThreadSanitizer in CI.
#include <atomic>
#include <thread>

#include "routeSessionFixture.h"
#include "routing/QuillUtils.h"

namespace {

constexpr int kSessions = 6;
constexpr int kRounds = 20;

void* plainAllocator(void* existing, std::size_t size) { return std::realloc(existing, size); }

// Session `index` routes from PXI_Trig0 to `index` + 40 copies of PXI_Trig1,
// so every session needs a longer path than the one before.
std::string destinationsFor(int index) {
  std::string text = "[";
  for (int i = 0; i < index + 40; ++i) text += R"("PXI_Trig1",)";
  text.back() = ']';
  return text;
}

std::string pathFor(int index) {
  std::string text = R"(["PXI_Trig0")";
  for (int i = 0; i < index + 40; ++i) text += R"(,"PXI_Trig1")";
  return text + "]";
}

TEST_F(RouteSession, SessionsShareThePathRoomWithoutADataRace) {
  tarn::gRoutePathCapacity = tarn::kInitialRoutePathCapacity;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int index = 0; index < kSessions; ++index) {
    threads.emplace_back([&, index] {
      nKESTREL1400::tScopedStatusReport status;
      quill_ra_kestrel_session* session =
          quill_ra_kestrel_createSession(devicePath_.c_str(), &plainAllocator, &status.get());
      const std::string destinations = destinationsFor(index);
      char* answer = nullptr;
      const std::uint32_t ticket = quill_ra_kestrel_calculateRoute(
          session, R"([{"terminal":"PXI_Trig0","cost":1,"constraints":{}}])", destinations.c_str(), "{}", &answer,
          &status.get());
      for (int round = 0; round < kRounds && status.code() == 0; ++round) {
        quill_ra_kestrel_getRouteTerminalPath(session, ticket, &answer, &status.get());
        if (status.code() != 0 || pathFor(index) != answer) ++wrong;
      }
      if (status.code() != 0) ++wrong;
      std::free(answer);
      quill_ra_kestrel_destroySession(session);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GE(tarn::gRoutePathCapacity.load(), 41u);
  EXPECT_LE(tarn::gRoutePathCapacity.load(), 41u + kSessions - 1);
}

}  // namespace
