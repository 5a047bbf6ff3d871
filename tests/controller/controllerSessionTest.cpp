// Opening and closing the controller on the default simulated board.
#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "simulatedBoard.h"

namespace {

using nKESTRELSIM::tSimulator;

constexpr std::uint32_t kGetSmBiosData = nKESTREL1400::nDriverWire::kGetSmBiosData;

class ControllerSession : public SimulatedBoard {
 protected:
  ControllerSession() { start(defaultProfile()); }
};

TEST_F(ControllerSession, OpensCountsReferencesAndClosesAtTheLast) {
  ASSERT_EQ(open(), 0);
  const auto requestsAfterFirstOpen = sim().requests().size();
  ASSERT_EQ(open(), 0);
  EXPECT_EQ(sim().requests().size(), requestsAfterFirstOpen) << "a second open talks to no device";
  close();
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), 0);
  close();
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(u32(KESTREL_ATTR_CONTROLLER_MODEL).code, kestrelerr_invalidHandle);
}

TEST_F(ControllerSession, AsksTheDriverForTheSmbiosTableInTwoPasses) {
  ASSERT_EQ(open(), 0);
  const auto passes = sim().requests(kGetSmBiosData);
  ASSERT_EQ(passes.size(), 2u);
  // First pass: null addresses and zero sizes.
  for (std::size_t i = 0; i < 28; ++i) EXPECT_EQ(passes[0].input[i], 0) << i;
  EXPECT_NE(passes[1].input[24], 0);  // the table size of the second pass
}

TEST_F(ControllerSession, SelfTestSendsNothing) {
  ASSERT_EQ(open(), 0);
  sim().clearRequests();
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), 0);
  EXPECT_TRUE(sim().requests().empty());
  EXPECT_EQ(KESTREL_performSelfTest(kWatchdogHandle), kestrelerr_invalidHandle);
}

TEST_F(ControllerSession, CloseWithTheWatchdogHandleLeavesTheControllerOpen) {
  ASSERT_EQ(open(), 0);
  KESTREL_closeController(kWatchdogHandle);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), 0);
}

TEST_F(ControllerSession, NumericReadsOfOtherTypesNeverSucceed) {
  ASSERT_EQ(open(), 0);
  std::int32_t i32 = 5;
  double dbl = 5;
  for (const std::uint32_t id : {0u, KESTREL_ATTR_CONTROLLER_MODEL, KESTREL_ATTR_DEVICE_VALUE_1, 0xFFFFFFFFu}) {
    EXPECT_EQ(KESTREL_getAttributeI32(kControllerHandle, id, &i32), kestrelerr_attributeNotSupported);
    EXPECT_EQ(KESTREL_getAttributeDBL(kControllerHandle, id, &dbl), kestrelerr_attributeNotSupported);
  }
  EXPECT_EQ(i32, 5);
  EXPECT_EQ(dbl, 5);
}

TEST_F(ControllerSession, AFirmwareFileThatFailsVerificationReachesNoDevice) {
  ASSERT_EQ(open(), 0);
  sim().clearRequests();
  const char file[] = "HeaderVersion::1\r\n";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(file);
  EXPECT_EQ(KESTREL_updateFirmware(kControllerHandle, bytes, sizeof file - 1), kestrelerr_invalidImage);
  EXPECT_EQ(KESTREL_updateFirmware2(kControllerHandle, bytes, sizeof file - 1, 0), kestrelerr_invalidImage);
  EXPECT_TRUE(sim().requests().empty());
}

class ControllerInterfaces : public SimulatedBoard {};

TEST_F(ControllerInterfaces, TwoControllerInterfacesRefuseTheOpen) {
  auto profile = defaultProfile();
  profile.interfaces.push_back({nKESTREL1400::kControllerInterface, "1", "kestrel", {}, {}});
  start(profile);
  EXPECT_EQ(open(), brioerr_resourceFailure);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
}

TEST_F(ControllerInterfaces, TwoCompanionInterfacesRefuseTheOpen) {
  auto profile = defaultProfile();
  profile.interfaces.push_back({nKESTREL1400::kCompanionInterface, "1", "kestrel", {}, {}});
  start(profile);
  EXPECT_EQ(open(), brioerr_resourceFailure);
}

TEST_F(ControllerInterfaces, NoControllerInterfaceIsNoDevice) {
  nKESTRELSIM::tProfile profile;
  profile.board = "";
  start(profile);
  tKestrelHandle handle = 77;
  EXPECT_EQ(KESTREL_openController(&handle), kestrelerr_deviceNotAvailable);
  EXPECT_EQ(handle, 77u);
}

TEST_F(ControllerInterfaces, ADriverErrorOnTheTableRequestFailsTheOpen) {
  start(defaultProfile());
  sim().failRequests(kGetSmBiosData, 1, {.error = EIO});
  EXPECT_EQ(open(), brioerr_ioFailure);
  EXPECT_EQ(open(), 0) << "a failed open leaves nothing behind";
}

TEST_F(ControllerInterfaces, ABoardWithoutTheCompanionOpens) {
  start(withoutCompanion());
  ASSERT_EQ(open(), 0);
  EXPECT_EQ(u32(KESTREL_ATTR_INTERFACES_PRESENT).value, 0x100000u);
}

}  // namespace
