#include "platform/tStatusReport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/zeerrException.h"
#include "tests/support/zeroFillingReallocate.h"

using namespace nKESTREL1400;

namespace {

constexpr kSourceLocation kHere{"tControllerUserSession", 211};

std::string text(const tStatusReport& report) { return reportText(report); }

TEST(defaultReallocate, AllocatesAtLeast512AndPowersOfTwo) {
  struct Case {
    std::int32_t request;
    std::int32_t capacity;
  };
  for (const Case c : {Case{100, 512}, Case{512, 512}, Case{513, 1024}, Case{600, 1024}, Case{5000, 8192}}) {
    tStatusReport report = makeStatusReport();
    ASSERT_TRUE(defaultReallocate(&report, c.request));
    EXPECT_EQ(report.capacity, c.capacity) << c.request;
    EXPECT_STREQ(report.report, "{}");
    EXPECT_EQ(report.report[report.capacity - 1], 'J');
    ASSERT_TRUE(defaultReallocate(&report, 0));
    EXPECT_EQ(report.capacity, 0);
    EXPECT_EQ(report.report, nullptr);
  }
}

TEST(defaultReallocate, KeepsTextAndRefusesOversizedRequests) {
  tStatusReport report = makeStatusReport();
  ASSERT_TRUE(setReportText(report, R"({"a":1})"));
  ASSERT_TRUE(defaultReallocate(&report, 2000));
  EXPECT_EQ(report.capacity, 2048);
  EXPECT_STREQ(report.report, R"({"a":1})");
  EXPECT_TRUE(defaultReallocate(&report, 100));  // smaller: nothing to do
  EXPECT_EQ(report.capacity, 2048);
  EXPECT_TRUE(defaultReallocate(&report, -5));  // asks for no more than there is
  EXPECT_EQ(report.capacity, 2048);
  EXPECT_FALSE(defaultReallocate(&report, INT32_MAX));  // no power of two fits the capacity
  EXPECT_EQ(report.capacity, 2048);
  releaseReport(report);
}

TEST(tStatusReport, SetCodeWithLocationWritesMembersInOrder) {
  tScopedStatusReport report;
  bool complete = false;
  EXPECT_TRUE(setCode(report, -26931, kHere, &complete));
  EXPECT_TRUE(complete);
  EXPECT_EQ(report.code(), -26931);
  EXPECT_EQ(text(report), R"({"file":"tControllerUserSession","line":211,"component":"kestrel"})");

  tScopedStatusReport named;
  setCode(named, -52000, {"routingAdaptorExports", 140}, "nBRIOS100::tStatus::kMemoryFull");
  EXPECT_EQ(text(named),
            R"({"error_constant":"nBRIOS100::tStatus::kMemoryFull","file":"routingAdaptorExports",)"
            R"("line":140,"component":"kestrel"})");

  tScopedStatusReport noComponent;
  setCode(noComponent, -1, {"f", 2, nullptr});
  EXPECT_EQ(text(noComponent), R"({"file":"f","line":2})");
}

TEST(tStatusReport, NewStoredCodeResetsTheReport) {
  tScopedStatusReport report;
  setCode(report, 5, kHere);
  ASSERT_NE(text(report), "{}");
  EXPECT_TRUE(setCode(report, -1));
  EXPECT_EQ(text(report), "{}");
  EXPECT_FALSE(setCode(report, -2, kHere));  // first error wins, report untouched
  EXPECT_EQ(text(report), "{}");
}

TEST(tStatusReport, LongMembersGrowTheBuffer) {
  const std::string file(700, 'f');
  tScopedStatusReport report;
  bool complete = false;
  setCode(report, -1, {file.c_str(), 1}, &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(report.get().capacity, 1024);  // 512, then grown to twice that less 2
  EXPECT_NE(text(report).find(file), std::string::npos);
}

bool refuseToGrow(tStatusReport* record, std::int32_t size) {
  if (size == 0) return defaultReallocate(record, 0);
  if (record->report != nullptr) return size <= record->capacity;
  return defaultReallocate(record, size);
}

TEST(tStatusReport, FailedGrowthKeepsTheCodeAndSaysSo) {
  const std::string file(700, 'f');
  tStatusReport report{0, 0, &refuseToGrow, nullptr};
  bool complete = true;
  EXPECT_TRUE(setCode(report, -9, {file.c_str(), 1}, &complete));
  EXPECT_FALSE(complete);
  EXPECT_EQ(report.code, -9);
  EXPECT_EQ(std::string(report.report), R"({"line":1,"component":"kestrel"})");
  releaseReport(report);
}

TEST(tStatusReport, GrowthAndReservationLayTheBufferOutAfterTheOwnersReallocation) {
  const std::string file(300, 'f');
  tStatusReport grown{0, 0, &zeroFillingReallocate, nullptr};
  bool complete = false;
  setCode(grown, -1, {file.c_str(), 7}, &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(text(grown), R"({"file":")" + file + R"(","line":7,"component":"kestrel"})");
  EXPECT_EQ(grown.report[grown.capacity - 1], 'J');
  releaseReport(grown);

  tStatusReport reserved{0, 0, &zeroFillingReallocate, nullptr};
  ASSERT_TRUE(setReportText(reserved, R"({"a":1})"));
  char* position = reserveReportSpace(reserved, 320);
  ASSERT_NE(position, nullptr);
  EXPECT_NE(jsonz_addString(position, "b", file.c_str()), nullptr);
  EXPECT_EQ(text(reserved), R"({"a":1,"b":")" + file + R"("})");
  releaseReport(reserved);
}

TEST(tStatusReport, MergeFromMovesTheBufferBetweenDefaultRecords) {
  tScopedStatusReport source;
  setCode(source, -26932, kHere);
  char* buffer = source.get().report;
  tScopedStatusReport target;
  setCode(target, 4, kHere);
  bool copied = false;
  EXPECT_TRUE(mergeFrom(target, source, &copied));
  EXPECT_TRUE(copied);
  EXPECT_EQ(target.code(), -26932);
  EXPECT_EQ(target.get().report, buffer);
  EXPECT_EQ(source.get().report, nullptr);
  EXPECT_EQ(source.get().capacity, 0);
}

bool otherReallocate(tStatusReport* record, std::int32_t size) { return defaultReallocate(record, size); }

TEST(tStatusReport, MergeFromCopiesBetweenDifferentOwners) {
  tScopedStatusReport source;
  setCode(source, -26932, kHere);
  tStatusReport target{0, 0, &otherReallocate, nullptr};
  EXPECT_TRUE(mergeFrom(target, source));
  EXPECT_STREQ(target.report, reportText(source));
  EXPECT_NE(source.get().report, nullptr);
  releaseReport(target);

  tStatusReport bare = makeStatusReport();
  bare.code = 3;
  tStatusReport into{0, 0, &otherReallocate, nullptr};
  mergeFrom(into, bare);
  EXPECT_STREQ(into.report, "{}");
  releaseReport(into);
}

TEST(tStatusReport, MergeFromDoesNotReplaceAnError) {
  tScopedStatusReport source;
  setCode(source, -2, kHere);
  tScopedStatusReport target;
  setCode(target, -1);
  EXPECT_FALSE(mergeFrom(target, source));
  EXPECT_EQ(target.code(), -1);
  EXPECT_NE(source.get().report, nullptr);
}

TEST(tStatusReport, ForceCodeBypassesTheMergeRule) {
  tScopedStatusReport report;
  setCode(report, -26934, kHere);
  forceCode(report, 0);
  EXPECT_EQ(report.code(), 0);
  EXPECT_EQ(text(report), "{}");
}

TEST(tStatusReport, ReportTextNeedsTwoSpareBytesAndReserveFindsTheClosingBracket) {
  tScopedStatusReport report;
  EXPECT_EQ(text(report), "");
  char* position = reserveReportSpace(report, 256);
  ASSERT_NE(position, nullptr);
  EXPECT_EQ(*position, '}');
  EXPECT_EQ(report.get().capacity, 512);
  jsonz_addUInt32(position, "x", 1);
  EXPECT_EQ(text(report), R"({"x":1})");

  const std::string big(600, ' ');
  EXPECT_TRUE(setReportText(report, ("{" + big + "}").c_str()));
  EXPECT_EQ(report.get().capacity, 1024);
}

TEST(zeerrException, CopiesCarryTheirOwnReport) {
  zeerr::Exception original;
  setCode(original.statusReport(), -50003, {"TopographyInfoRegistration", 36}, "zepalerr_badSelector");
  zeerr::Exception copy(original);
  EXPECT_EQ(copy.statusReport().code, -50003);
  EXPECT_STREQ(copy.what(), original.what());
  EXPECT_NE(copy.statusReport().report, original.statusReport().report);

  zeerr::Exception empty;
  EXPECT_STREQ(empty.what(), "");
  const zeerr::ExceptionBase& base = copy;
  EXPECT_STREQ(base.reportText(), original.reportText());
}

}  // namespace
