// A successful SMBIOS-backed attribute read allocates no memory: malloc is
// counted on this thread while the calls run.
#include "allocationCounter.h"
#include "simulatedBoard.h"

namespace {

class AttributeAllocations : public SimulatedBoard {
 protected:
  AttributeAllocations() {
    start(defaultProfile());
    EXPECT_EQ(open(), 0);
  }
};

TEST_F(AttributeAllocations, SuccessfulSmbiosReadsAllocateNothing) {
  std::uint32_t value = 0;
  char buffer[64];
  std::uint64_t length = sizeof buffer;
  const long allocations = kestrelTest::allocationsOf([&] {
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_BOARD_ID, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_SIZE + 1, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_MEMORY_MODULE_COUNT, &value), 0);
      EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_EXPANSION_INTERFACE, &value), 0);
      length = sizeof buffer;
      EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, buffer, &length), 0);
    }
  });
  EXPECT_EQ(allocations, 0);
}

TEST_F(AttributeAllocations, TheCounterSeesAllocations) {
  std::uint32_t value = 0;
  // A failure writes a report, which needs memory.
  EXPECT_GT(kestrelTest::allocationsOf([&] { KESTREL_getAttributeU32(kControllerHandle, 0x20999900 + 1, &value); }), 0);
}

}  // namespace
