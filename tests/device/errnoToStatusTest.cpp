#include "platform/errnoToStatus.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "kestrel/kestrel.h"

namespace {

using nKESTREL1400::errnoToStatus;

TEST(ErrnoToStatus, GroupsOfTheTable) {
  EXPECT_EQ(errnoToStatus(0), 0);
  for (int e : {ENOMEM, ENFILE, EMFILE}) EXPECT_EQ(errnoToStatus(e), brioerr_memoryFull);
  for (int e : {ENOENT, ESRCH, ENXIO, EBADF, ENODEV}) EXPECT_EQ(errnoToStatus(e), brioerr_deviceNotFound);
  for (int e : {EIO, EPIPE, EBADMSG}) EXPECT_EQ(errnoToStatus(e), brioerr_ioFailure);
  for (int e : {EPERM, EACCES, EROFS}) EXPECT_EQ(errnoToStatus(e), brioerr_permissionDenied);
  EXPECT_EQ(errnoToStatus(EOWNERDEAD), brioerr_ownerDied);  // 130, the last looked up
  EXPECT_EQ(errnoToStatus(EBUSY), brioerr_busy);
}

TEST(ErrnoToStatus, EverythingElseIsASystemError) {
  for (int e : {41, 58, ENOEXEC, E2BIG, 131, 200, -1}) EXPECT_EQ(errnoToStatus(e), brioerr_systemError) << e;
}

}  // namespace
