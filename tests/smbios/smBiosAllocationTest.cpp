// Successful lookups allocate nothing: allocations are counted while the
// lookups run.
#include <gtest/gtest.h>

#include "allocationCounter.h"
#include "sim/smbios/tSmBiosTableBuilder.h"
#include "source/user/controllerSmBiosFields.h"
#include "smBiosTestProviders.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

TEST(smBiosAllocationTest, LoadedLookupsAllocateNothing) {
  nKESTRELSIM::nSMBIOS::tSmBiosTableBuilder builder;
  builder.add(0).setString(0x05, "1.4.0f2");
  builder.add(4).setQword(0x08, 7).setWord(0x14, 3600);
  builder.add(150).setByte(0x04, 2);
  tSourceProvider provider;
  provider.source = builder.build();
  tStatus warmUp;
  provider.readByte(nControllerField::kInfoVersionMajor, 0, warmUp);  // the load itself may allocate
  ASSERT_EQ(warmUp.getCode(), 0);

  char buffer[32];
  std::uint32_t size = sizeof buffer;
  tStatus status;
  const long allocations = kestrelTest::allocationsOf([&] {
    provider.readByte(nControllerField::kInfoVersionMajor, 0, status);
    provider.readWord(0x20414, 0, status);
    provider.readQword(0x40408, 0, status);
    provider.readString(0x0005, 0, buffer, size, status);
    provider.readString(kIdentificationSelector, 0, buffer, size, status);
  });
  EXPECT_EQ(status.getCode(), 0);
  EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace nKESTREL1400::nZESMBIOS_1_1
