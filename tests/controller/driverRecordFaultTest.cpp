// Answers whose output record does not arrive whole: nothing copied back,
// a short record, or sizes claiming more than the caller's buffer. Each
// must come out of the public functions as an error, never as a success
// with whatever the record held before the call.
#include <cstring>

#include "platform/driverWireFormat.h"
#include "simulatedBoard.h"

namespace {

using namespace nKESTREL1400::nDriverWire;
using nKESTRELSIM::tRecordFault;

class DriverRecordFaults : public SimulatedBoard {
 protected:
  void SetUp() override {
    start(defaultProfile());
    ASSERT_EQ(open(), 0);
  }
  static void fail(std::uint32_t code, tRecordFault record, std::uint32_t size = 0, unsigned count = 1) {
    sim().failRequests(code, count, {.record = record, .size = size});
  }
};

TEST_F(DriverRecordFaults, AnAnswerWithNothingCopiedBackIsAnIoFailure) {
  fail(kGetAttribute, tRecordFault::kNothingWritten);
  const U32 nothing = u32(KESTREL_ATTR_DEVICE_VALUE_1);
  EXPECT_EQ(nothing.code, brioerr_ioFailure);
  const U32 next = u32(KESTREL_ATTR_DEVICE_VALUE_1);  // the fault was one request's
  EXPECT_EQ(next.code, 0);

  fail(kSetAttribute, tRecordFault::kNothingWritten);
  EXPECT_EQ(KESTREL_setAttributeU32(kControllerHandle, KESTREL_ATTR_DEVICE_VALUE_1, 3), brioerr_ioFailure);

  tKestrelHandle watchdog = 0;
  ASSERT_EQ(KESTREL_openWatchdog(&watchdog), 0);
  fail(kPetWatchdog, tRecordFault::kNothingWritten);
  EXPECT_EQ(KESTREL_petWatchdog(watchdog), brioerr_ioFailure);
  KESTREL_closeWatchdog(watchdog);
}

TEST_F(DriverRecordFaults, AShortRecordNeverPassesAsSuccess) {
  // Every length short of the 8-byte record, the status's own bytes included.
  for (std::uint32_t size = 0; size < sizeof(tValueOutput); ++size) {
    fail(kGetAttribute, tRecordFault::kShort, size);
    EXPECT_LT(u32(KESTREL_ATTR_DEVICE_VALUE_1).code, 0) << size << " bytes";
  }
  fail(kGetAttribute, tRecordFault::kShort, 4);
  char text[32];
  std::uint64_t length = sizeof text;
  EXPECT_LT(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_BIOS_VERSION, text, &length), 0);
}

TEST_F(DriverRecordFaults, ASizeBeyondTheCallersBufferIsRefused) {
  fail(kGetAttribute, tRecordFault::kOversized, 8);
  EXPECT_EQ(u32(KESTREL_ATTR_DEVICE_VALUE_1).code, brioerr_ioFailure);

  // The companion's text: a success claiming more than the buffer holds
  // would have a caller read past its buffer.
  fail(kGetAttribute, tRecordFault::kOversized);
  char text[32];
  std::memset(text, 'x', sizeof text);
  std::uint64_t length = sizeof text;
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_BIOS_VERSION, text, &length), brioerr_ioFailure);
  EXPECT_EQ(text[0], '\0');

  length = sizeof text;
  ASSERT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_BIOS_VERSION, text, &length), 0);
  EXPECT_STREQ(text, "1.4.0f2");  // the companion's record of the BIOS version
  EXPECT_EQ(length, 8u);
}

}  // namespace
