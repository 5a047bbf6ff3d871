// The simulated controller's device interfaces and the files open on them.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tWatchdogModel.h"
#include "sim/system/tDeviceNodes.h"

namespace nKESTRELSIM {
namespace {

TEST(DeviceNodes, NamesFollowTheDriverAndNeverLeaveTheirFolder) {
  tDeviceNodes devices;
  const tDeviceNode& node = devices.add(nKESTREL1400::kWatchdogInterface, "a/b", "x\\y");
  EXPECT_EQ(node.directory, "/proc/driver/ze/x\\y/deviceInterfaces/hostController_hostControllerWatchdog\\a/b");
  EXPECT_EQ(node.devicePath, "/dev/zesim/x_y/hostController_hostControllerWatchdog-a_b");
  EXPECT_NE(dynamic_cast<tWatchdogModel*>(node.model.get()), nullptr);
  EXPECT_EQ(devices.at(node.devicePath), &node);
  EXPECT_EQ(devices.at("/dev/zesim/x_y/other"), nullptr);
}

TEST(DeviceNodes, InstancesCountOnlyNodesWithAModel) {
  tDeviceNodes devices;
  devices.add("unknownInterface", "0", "kestrel");
  tDeviceNode& first = devices.add(nKESTREL1400::kWatchdogInterface, "0", "kestrel");
  tDeviceNode& second = devices.add(nKESTREL1400::kWatchdogInterface, "1", "kestrel");
  EXPECT_EQ(&devices.instance(nKESTREL1400::kWatchdogInterface, 0), &first);
  EXPECT_EQ(&devices.instance(nKESTREL1400::kWatchdogInterface, 1), &second);
  EXPECT_THROW(devices.instance(nKESTREL1400::kWatchdogInterface, 2), std::out_of_range);
  EXPECT_THROW(devices.instance("unknownInterface", 0), std::out_of_range);
  int visited = 0;
  devices.forEachModel([&](tDeviceNode&) { ++visited; });
  EXPECT_EQ(visited, 2);
}

TEST(DeviceNodes, EachOpenFileHasItsOwnNumberAndClosesOnce) {
  tDeviceNodes devices;
  tDeviceNode& node = devices.add(nKESTREL1400::kWatchdogInterface, "0", "kestrel");
  const auto first = devices.open(7, node).openId;
  const auto second = devices.open(8, node).openId;
  EXPECT_NE(first, second);
  ASSERT_NE(devices.openFile(7), nullptr);
  EXPECT_EQ(devices.openFile(7)->node, &node);
  const auto closed = devices.close(7);
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->openId, first);
  EXPECT_FALSE(devices.close(7).has_value());
  EXPECT_EQ(devices.openFile(7), nullptr);
  // A descriptor number used again is a new file to the driver.
  EXPECT_NE(devices.open(7, node).openId, first);
}

}  // namespace
}  // namespace nKESTRELSIM
