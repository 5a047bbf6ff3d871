#include "platform/statusCodeTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kestrel/kestrel.h"

using namespace nKESTREL1400;

TEST(statusCodeTable, CodesAndNamesAreUniqueAndDescribed) {
  std::set<std::int32_t> codes;
  std::set<std::string> names;
  for (const auto& entry : kStatusCodeTable) {
    EXPECT_TRUE(codes.insert(entry.code).second) << entry.code;
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_GT(std::string(entry.meaning).size(), 10u) << entry.name;
  }
}

TEST(statusCodeTable, AgreesWithThePublicHeader) {
  EXPECT_STREQ(statusCodeName(kestrelerr_invalidHandle), "kestrelerr_invalidHandle");
  EXPECT_STREQ(statusCodeName(-26931), "kestrelerr_invalidHandle");
  EXPECT_STREQ(statusCodeName(brioerr_memoryFull), "brioerr_memoryFull");
  EXPECT_STREQ(statusCodeName(brioerr_invalidParameter), "brioerr_invalidParameter");
  EXPECT_STREQ(statusCodeName(smbioserr_stringNotPresent), "smbioserr_stringNotPresent");
  EXPECT_STREQ(statusCodeName(zepalerr_badSelector), "zepalerr_badSelector");
  EXPECT_STREQ(statusCodeName(-12345), "unknown status");
  const std::int32_t lowerLayer[] = {-52002, -52003, -52006, -52007, -52008, -52011, -52012, -52013, -52014,
                                     -52015, -52019, -52020, -52023, -52024, -52025, -52026, -52031, -89137};
  for (const auto code : lowerLayer) EXPECT_NE(findStatusCode(code), nullptr) << code;
}
