// The controller and watchdog exports as a client sees them with no
// controller present: handle checks, null pointers, no session.
#include <gtest/gtest.h>

#include <kestrel/kestrel.h>
#include <kestrel/quill_ra_kestrel.h>

namespace {

const tKestrelHandle kWrongHandles[] = {0, 1, kControllerHandle + 1, static_cast<tKestrelHandle>(-1)};

TEST(exports, WrongHandlesAreRefusedWithoutTouchingOutValues) {
  for (const tKestrelHandle handle : kWrongHandles) {
    uint32_t u32 = 11;
    int32_t i32 = 12;
    double dbl = 13;
    char text[8] = "keep";
    uint64_t length = sizeof text;
    EXPECT_EQ(KESTREL_getAttributeU32(handle, KESTREL_ATTR_CONTROLLER_MODEL, &u32), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_setAttributeU32(handle, KESTREL_ATTR_CONTROLLER_MODEL, 1), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_getAttributeI32(handle, KESTREL_ATTR_CONTROLLER_MODEL, &i32), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_getAttributeDBL(handle, KESTREL_ATTR_CONTROLLER_MODEL, &dbl), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_getAttributeUTF8(handle, KESTREL_ATTR_PRODUCT_NAME, text, &length), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_setAttributeUTF8(handle, KESTREL_ATTR_USER_TEXT, "x"), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_performSelfTest(handle), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_updateFirmware(handle, reinterpret_cast<const uint8_t*>("x"), 1), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_startWatchdogTimer(handle), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_stopWatchdogTimer(handle), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_petWatchdog(handle), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_waitForWatchdogNotification(handle, &i32), kestrelerr_invalidHandle);
    EXPECT_EQ(KESTREL_cancelWaitForWatchdogNotification(handle), kestrelerr_invalidHandle);
    EXPECT_EQ(u32, 11u);
    EXPECT_EQ(i32, 12);
    EXPECT_EQ(dbl, 13);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(length, sizeof text);
  }
}

TEST(exports, HandlesOfTheOtherKindAreRefused) {
  int32_t i32 = 0;
  double dbl = 0;
  EXPECT_EQ(KESTREL_getAttributeI32(kWatchdogHandle, KESTREL_ATTR_CONTROLLER_MODEL, &i32), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_getAttributeDBL(kWatchdogHandle, KESTREL_ATTR_CONTROLLER_MODEL, &dbl), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_performSelfTest(kWatchdogHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_petWatchdog(kControllerHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_waitForWatchdogNotification(kControllerHandle, &i32), kestrelerr_invalidHandle);
}

TEST(exports, OperationsWithoutAnOpenSessionFail) {
  uint32_t u32 = 5;
  EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_CONTROLLER_MODEL, &u32),
            kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_getAttributeU32(kWatchdogHandle, 1, &u32), kestrelerr_invalidHandle);
  EXPECT_EQ(u32, 5u);
  EXPECT_EQ(KESTREL_setAttributeU32(kWatchdogHandle, 1, 2), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_petWatchdog(kWatchdogHandle), kestrelerr_invalidHandle);
  EXPECT_EQ(KESTREL_updateFirmware2(kControllerHandle, reinterpret_cast<const uint8_t*>("x"), 1, 0),
            kestrelerr_invalidHandle);
  // Without a session the text write reports the device as unavailable.
  EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, "x"), kestrelerr_deviceNotAvailable);

  uint64_t length = 0;
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, nullptr, &length),
            kestrelerr_invalidHandle);
  EXPECT_EQ(length, 0u);
}

TEST(exports, NullPointersAreInvalidParameters) {
  EXPECT_EQ(KESTREL_openController(nullptr), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_openWatchdog(nullptr), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_getAttributeU32(kControllerHandle, KESTREL_ATTR_CONTROLLER_MODEL, nullptr),
            brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_getAttributeU32(kWatchdogHandle, 1, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_getAttributeI32(kControllerHandle, KESTREL_ATTR_CONTROLLER_MODEL, nullptr),
            brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_getAttributeDBL(kControllerHandle, KESTREL_ATTR_CONTROLLER_MODEL, nullptr),
            brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_getAttributeUTF8(kControllerHandle, KESTREL_ATTR_PRODUCT_NAME, nullptr, nullptr),
            brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_setAttributeUTF8(kControllerHandle, KESTREL_ATTR_USER_TEXT, nullptr), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_updateFirmware(kControllerHandle, nullptr, 10), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_updateFirmware2(kControllerHandle, nullptr, 0, 1), brioerr_invalidParameter);
  EXPECT_EQ(KESTREL_waitForWatchdogNotification(kWatchdogHandle, nullptr), brioerr_invalidParameter);
  // The handle check comes first.
  EXPECT_EQ(KESTREL_getAttributeU32(0, KESTREL_ATTR_CONTROLLER_MODEL, nullptr), kestrelerr_invalidHandle);
}

TEST(exports, ClosingWithoutASessionOrWithOtherHandlesDoesNothing) {
  KESTREL_closeController(kWatchdogHandle);
  KESTREL_closeController(0);
  KESTREL_closeController(kControllerHandle);
  KESTREL_closeWatchdog(kControllerHandle);
  KESTREL_closeWatchdog(kWatchdogHandle);
  KESTREL_closeWatchdog(kWatchdogHandle);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
}

TEST(exports, OpeningWithoutAControllerFailsAndLeavesTheHandleAlone) {
  tKestrelHandle handle = 99;
  EXPECT_EQ(KESTREL_openController(&handle), kestrelerr_deviceNotAvailable);
  EXPECT_EQ(handle, 99u);
  EXPECT_EQ(KESTREL_openWatchdog(&handle), kestrelerr_deviceNotAvailable);
  EXPECT_EQ(handle, 99u);
  EXPECT_EQ(KESTREL_performSelfTest(kControllerHandle), kestrelerr_invalidHandle);
}

}  // namespace
