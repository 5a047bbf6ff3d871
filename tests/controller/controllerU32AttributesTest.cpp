// Numeric controller attributes on the default simulated board.
#include "kestrel/kestrel.h"
#include "platform/deviceInterfaceNames.h"
#include "platform/driverWireFormat.h"
#include "simulatedBoard.h"

namespace {

constexpr std::uint32_t kGetAttribute = nKESTREL1400::nDriverWire::kGetAttribute;

class U32Attributes : public SimulatedBoard {
 protected:
  U32Attributes() {
    start(defaultProfile());
    EXPECT_EQ(open(), 0);
  }
};

struct Expected {
  std::uint32_t id;
  std::uint32_t value;
};

TEST_F(U32Attributes, EveryRowReadsItsSource) {
  const Expected rows[] = {
      {KESTREL_ATTR_CONTROLLER_MODEL, 1},        // the model text exists
      {KESTREL_ATTR_BOARD_ID, 30840},
      {KESTREL_ATTR_BOARD_REVISION, 3},
      {KESTREL_ATTR_MEMORY_TYPE, 26},
      {KESTREL_ATTR_MEMORY_SPEED + 1, 2666},     // second populated module: instance 2
      {KESTREL_ATTR_MEMORY_CONFIGURED_SPEED, 2400},
      {KESTREL_ATTR_MEMORY_MODULE_COUNT, 2},
      {KESTREL_ATTR_MEMORY_SIZE, 8192},
      {KESTREL_ATTR_PROCESSOR_STEPPING, 0xB},    // low 4 bits of 0x30000000B
      {KESTREL_ATTR_PROCESSOR_MAX_SPEED, 3600},
      {KESTREL_ATTR_PROCESSOR_THREAD_COUNT, 8},
      {KESTREL_ATTR_DEVICE_VALUE_1, 1},
      {KESTREL_ATTR_BUS_WIDTH, 32},
      {KESTREL_ATTR_BUS_INFO, 2},
      {KESTREL_ATTR_FEATURE_ENABLED, 1},
      {KESTREL_ATTR_SLOT_COUNT, 2},
      {KESTREL_ATTR_SLOT_ENTRY + 0, 4},
      {KESTREL_ATTR_SLOT_ENTRY + 1, 8},
      {KESTREL_ATTR_EXPANSION_INTERFACE, 1},     // "ExpressCard"
      {KESTREL_ATTR_BUS_TYPE, 1},                // "PCI"
      {KESTREL_ATTR_CHASSIS_BYTE_0, 1},
      {KESTREL_ATTR_CHASSIS_BYTE_1, 3},
      {KESTREL_ATTR_DEVICE_VALUE_2, 0x140},
      {KESTREL_ATTR_TEXT_WRITE_SUPPORT, 1},
      {KESTREL_ATTR_DEVICE_VALUE_3, 3},
      {KESTREL_ATTR_INTERFACES_PRESENT, 0x300000},
      {KESTREL_ATTR_TRIGGER_ENTRY_COUNT, 2},
      {KESTREL_ATTR_INFO_VERSION, 2},
  };
  for (const auto& row : rows) {
    const auto read = u32(row.id);
    EXPECT_EQ(read.code, 0) << std::hex << row.id;
    EXPECT_EQ(read.value, row.value) << std::hex << row.id;
  }
}

TEST_F(U32Attributes, PopulatedModulesSkipEmptySlots) {
  EXPECT_EQ(u32(KESTREL_ATTR_MEMORY_SIZE + 1).value, 8192u);
  const auto third = u32(KESTREL_ATTR_MEMORY_SIZE + 2);
  EXPECT_EQ(third.code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(third.value, 0u);
}

TEST_F(U32Attributes, IndexRules) {
  const auto count = u32(KESTREL_ATTR_MEMORY_MODULE_COUNT + 1);
  EXPECT_EQ(count.code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(count.value, 2u) << "the count is written even for a wrong index";

  const auto model = u32(KESTREL_ATTR_CONTROLLER_MODEL + 1);
  EXPECT_EQ(model.code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(model.value, 1u) << "the model is computed before the index check";

  EXPECT_EQ(u32(KESTREL_ATTR_DEVICE_VALUE_1 + 1).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(u32(KESTREL_ATTR_SLOT_ENTRY + 2).code, kestrelerr_attributeNotSupported);  // the count is 2
  EXPECT_EQ(u32(KESTREL_ATTR_SLOT_ENTRY + 4).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(u32(KESTREL_ATTR_INFO_VERSION + 1).code, kestrelerr_attributeNotSupported);  // one type 150
  EXPECT_EQ(u32(KESTREL_ATTR_INTERFACES_PRESENT + 9).value, 0x300000u) << "the index is not used";
}

TEST_F(U32Attributes, OnlyOneIdCarriesBit27) {
  EXPECT_EQ(u32(KESTREL_ATTR_INFO_VERSION).value, 2u);
  EXPECT_EQ(u32(0x28000300).code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(u32(0x28000500).code, kestrelerr_attributeNotSupported);
}

TEST_F(U32Attributes, TheCompanionAnswersWhatTheControllerCannot) {
  constexpr std::uint32_t kUnknown = 0x20999900;
  EXPECT_EQ(u32(kUnknown).code, kestrelerr_attributeNotSupported);
  sim().marten().attributes().setU32(kUnknown, 42);
  const auto answered = u32(kUnknown);
  EXPECT_EQ(answered.code, 0);
  EXPECT_EQ(answered.value, 42u);
  const auto indexed = u32(kUnknown + 1);
  EXPECT_EQ(indexed.code, kestrelerr_attributeNotSupported);
  EXPECT_EQ(indexed.value, 0u);

  // A failed device read falls back too.
  sim().marten().attributes().setU32(KESTREL_ATTR_DEVICE_VALUE_1, 9);
  sim().failRequests(kGetAttribute, 1, {.status = -52002});
  const auto fallback = u32(KESTREL_ATTR_DEVICE_VALUE_1);
  EXPECT_EQ(fallback.code, 0);
  EXPECT_EQ(fallback.value, 9u);
}

TEST_F(U32Attributes, CompanionSourceGoesStraightToTheCompanion) {
  constexpr std::uint32_t kCompanionValue = 0x20299900;
  sim().marten().attributes().setU32(kCompanionValue, 7);
  sim().clearRequests();
  EXPECT_EQ(u32(kCompanionValue).value, 7u);
  const auto requests = sim().requests(kGetAttribute);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].interfaceName, nKESTREL1400::kCompanionInterface);
  const auto indexed = u32(kCompanionValue + 1, 5);
  EXPECT_EQ(indexed.code, kestrelerr_deviceNotAvailable);
  EXPECT_EQ(indexed.value, 5u) << "untouched";
}

TEST_F(U32Attributes, WritesGoToTheDeviceTheSourceNames) {
  constexpr std::uint32_t kValue = 0x20077700;
  sim().hostController().attributes().setU32(kValue, 0);
  sim().marten().attributes().setU32(kValue | KESTREL_ATTR_SOURCE_COMPANION, 0);
  EXPECT_EQ(KESTREL_setAttributeU32(kControllerHandle, kValue, 5), 0);
  EXPECT_EQ(KESTREL_setAttributeU32(kControllerHandle, kValue | KESTREL_ATTR_SOURCE_COMPANION, 6), 0);
  EXPECT_EQ(sim().hostController().attributes().u32(kValue), 5u);
  EXPECT_EQ(sim().marten().attributes().u32(kValue | KESTREL_ATTR_SOURCE_COMPANION), 6u);
  EXPECT_LT(KESTREL_setAttributeU32(kControllerHandle, KESTREL_ATTR_DEVICE_VALUE_1, 2), 0) << "read-only";
}

TEST_F(U32Attributes, DriverStatusOfADeviceReadIsReturned) {
  sim().failRequests(kGetAttribute, 2, {.status = -52031});
  EXPECT_EQ(u32(KESTREL_ATTR_DEVICE_VALUE_2).code, -52031) << "the companion does not know the id either";
}

}  // namespace
