// Terminal paths of calculated routes: the path room shared by the process,
// the retry with the count the driver needs, and counts out of bounds.
#include "platform/driverWireFormat.h"
#include "routeSessionFixture.h"
#include "routing/QuillUtils.h"

namespace {

using nKESTREL1400::nDriverWire::kGetRouteTerminalPath;

// A route from PXI_Trig0 to `count` destinations, which alternate between
// PXI_Trig1 and TRIG_SMB: its path has count + 1 entries.
std::string destinations(std::size_t count) {
  std::string text = "[";
  for (std::size_t i = 0; i < count; ++i) text += i % 2 == 0 ? R"("PXI_Trig1",)" : R"("TRIG_SMB",)";
  text.back() = ']';
  return text;
}

std::string expectedPath(std::size_t count) {
  std::string text = R"(["PXI_Trig0",)";
  for (std::size_t i = 0; i < count; ++i) text += i % 2 == 0 ? R"("PXI_Trig1",)" : R"("TRIG_SMB",)";
  text.back() = ']';
  return text;
}

class RoutePath : public RouteSession {
 protected:
  void SetUp() override {
    RouteSession::SetUp();
    tarn::gRoutePathCapacity = tarn::kInitialRoutePathCapacity;
  }
  std::uint32_t route(std::size_t destinationCount) {
    const tRouteCall call = calculate(R"([{"terminal":"PXI_Trig0","cost":1,"constraints":{}}])",
                                      destinations(destinationCount).c_str());
    EXPECT_EQ(call.code, 0) << call.report;
    return call.ticket;
  }
};

TEST_F(RoutePath, ALongPathTakesTwoCallsTheFirstTimeAndOneAfterwards) {
  const std::uint32_t shortRoute = route(3);
  EXPECT_EQ(path(shortRoute).answer, expectedPath(3));
  EXPECT_EQ(driverCalls(kGetRouteTerminalPath), 1u);

  const std::uint32_t longRoute = route(39);
  sim().clearRequests();
  const tRouteCall first = path(longRoute);
  EXPECT_EQ(first.code, 0) << first.report;
  EXPECT_EQ(first.answer, expectedPath(39));
  EXPECT_EQ(driverCalls(kGetRouteTerminalPath), 2u);
  EXPECT_EQ(tarn::gRoutePathCapacity.load(), 40u);
  EXPECT_EQ(gAllocatorLog.sizes.back(), 512u);

  sim().clearRequests();
  EXPECT_EQ(path(longRoute).answer, expectedPath(39));
  EXPECT_EQ(driverCalls(kGetRouteTerminalPath), 1u);
}

TEST_F(RoutePath, FailuresOfThePathRequestAreReported) {
  const tRouteCall unknown = path(999);
  EXPECT_EQ(unknown.code, -52005);
  EXPECT_EQ(unknown.report, R"({"file":"tInterfaceProxy_routing","line":261,"component":"kestrel"})");
  EXPECT_FALSE(unknown.answered);

  const std::uint32_t longRoute = route(tarn::kMaxRoutePathEntries);
  const tRouteCall tooLong = path(longRoute);
  EXPECT_EQ(tooLong.code, -52024);
  EXPECT_NE(tooLong.report.find(R"("tarn_debug":"the driver reported 4097 path entries, more than 4096")"),
            std::string::npos)
      << tooLong.report;
  EXPECT_EQ(tarn::gRoutePathCapacity.load(), tarn::kInitialRoutePathCapacity);
}

}  // namespace
