#include "platform/tStatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/memoryAllocation.h"
#include "platform/tStatusReport.h"
#include "platform/zeerrException.h"

using namespace nKESTREL1400;

namespace {

struct MergeCase {
  std::int64_t held;
  std::int64_t incoming;
  bool stored;
};

TEST(tStatus, MergeRuleKeepsFirstErrorAndLetsErrorsReplaceWarnings) {
  const MergeCase cases[] = {
      {0, -1, true},  {0, 5, true},   {5, -1, true}, {-1, 5, false}, {-1, -2, false},
      {5, 7, false},  {5, 0, false},  {-1, 0, false}, {0, 0, false},
  };
  for (const auto& c : cases) {
    tStatus status;
    status.code = c.held;
    EXPECT_EQ(status.setCode(c.incoming, "kestrel", "f", 1), c.stored) << c.held << " <- " << c.incoming;
    EXPECT_EQ(status.code, c.stored ? c.incoming : c.held);

    tStatusReport report = makeStatusReport();
    report.code = static_cast<std::int32_t>(c.held);
    EXPECT_EQ(setCode(report, static_cast<std::int32_t>(c.incoming)), c.stored);
  }
}

TEST(tStatus, NewRecordIsEmpty) {
  tStatus status;
  EXPECT_EQ(status.size, 216u);
  EXPECT_EQ(status.code, 0);
  EXPECT_STREQ(status.component, "");
  EXPECT_STREQ(status.file, "");
  EXPECT_EQ(status.line, 0u);
  EXPECT_EQ(status.extension[0], 0u);
}

TEST(tStatus, LongFileNameKeepsBothEnds) {
  std::string file;
  for (int i = 0; i < 150; ++i) file += static_cast<char>('a' + i % 26);
  tStatus status;
  status.setCode(-1, "kestrel", file.c_str(), 12);
  EXPECT_EQ(std::string(status.file), file.substr(0, 49) + ".." + file.substr(101));
  EXPECT_EQ(std::strlen(status.file), 100u);

  tStatus exact;
  const std::string hundred(100, 'x');
  exact.setCode(-1, "kestrel", hundred.c_str(), 1);
  EXPECT_EQ(std::string(exact.file), hundred);
}

TEST(tStatus, ComponentIsCutToNineCharacters) {
  tStatus status;
  status.setCode(-1, "abcdefghijkl", "f", 1);
  EXPECT_STREQ(status.component, "abcdefghi");
}

TEST(tStatus, StoringClearsExtensionsAndShortRecordsKeepOnlyTheCode) {
  tStatus status;
  status.extension[0] = 42;
  status.setCode(3, "kestrel", "f", 9);
  EXPECT_EQ(status.extension[0], 0u);
  EXPECT_EQ(status.line, 9u);

  tStatus shortRecord;
  shortRecord.size = 100;
  shortRecord.setCode(-7, "kestrel", "file", 3);
  EXPECT_EQ(shortRecord.code, -7);
  EXPECT_STREQ(shortRecord.file, "");
  EXPECT_EQ(shortRecord.line, 0u);
}

TEST(tStatus, MergeFromCopiesLocationAndExtensionsUpToTheFirstZero) {
  tStatus source;
  source.setCode(-5, "kestrel", "src", 77);
  source.extension[0] = 1;
  source.extension[1] = 2;
  source.extension[2] = 0;
  source.extension[3] = 9;
  tStatus target;
  target.extension[3] = 5;
  EXPECT_TRUE(target.mergeFrom(source));
  EXPECT_EQ(target.code, -5);
  EXPECT_STREQ(target.file, "src");
  EXPECT_EQ(target.line, 77u);
  EXPECT_EQ(target.extension[0], 1u);
  EXPECT_EQ(target.extension[1], 2u);
  EXPECT_EQ(target.extension[2], 0u);
  EXPECT_EQ(target.extension[3], 5u);

  tStatus shortSource;
  shortSource.size = 8;
  shortSource.code = -2;
  tStatus other;
  other.mergeFrom(shortSource);
  EXPECT_EQ(other.code, -2);
  EXPECT_STREQ(other.file, "");
}

TEST(tStatus, CopyToReportAddsLocationMembers) {
  tScopedStatusReport report;
  tStatus status;
  status.copyToReport(report);
  EXPECT_EQ(report.code(), 0);
  EXPECT_EQ(report.get().report, nullptr);

  status.setCode(-52006, "kestrel", "tDeviceInterfaceProxy", 46);
  status.copyToReport(report);
  EXPECT_EQ(report.code(), -52006);
  EXPECT_STREQ(reportText(report), R"({"file":"tDeviceInterfaceProxy","line":46,"component":"kestrel"})");
}

TEST(tStatus, CopyToReportLeavesOutEmptyLocation) {
  tScopedStatusReport report;
  tStatus status;
  status.setCode(7, "", "", 3);
  status.copyToReport(report);
  EXPECT_EQ(report.code(), 7);
  EXPECT_EQ(report.get().report, nullptr);  // no member, so no buffer either
}

TEST(tStatus, ThrowIfErrorThrowsOnlyErrors) {
  tStatus warning;
  warning.setCode(5, "kestrel", "w", 1);
  EXPECT_NO_THROW(warning.throwIfError());

  tStatus error;
  error.setCode(-52005, "kestrel", "QuillUtils", 33);
  try {
    error.throwIfError();
    FAIL() << "no exception";
  } catch (const zeerr::Exception& exception) {
    EXPECT_EQ(exception.statusReport().code, -52005);
    EXPECT_STREQ(exception.what(), R"({"file":"QuillUtils","line":33,"component":"kestrel"})");
  }
}

struct ThrowingGuard {
  tStatus status;
  ~ThrowingGuard() noexcept(false) { status.throwIfError(); }
};

TEST(tStatus, ThrowIfErrorStaysQuietWhileAnotherExceptionPropagates) {
  try {
    ThrowingGuard guard;
    guard.status.setCode(-1, "kestrel", "g", 1);
    throw std::runtime_error("first");
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "first");
  }
}

TEST(memoryAllocation, AllocatesNothingAfterAnErrorAndReportsShortage) {
  tStatus status;
  void* memory = allocateBytes(64, status);
  ASSERT_NE(memory, nullptr);
  std::free(memory);

  status.setCode(-3, "kestrel", "x", 1);
  EXPECT_EQ(allocateBytes(64, status), nullptr);

  tStatus fresh;
  EXPECT_EQ(allocateBytes(static_cast<std::size_t>(-1) / 2, fresh), nullptr);
  EXPECT_EQ(fresh.code, -52000);
  EXPECT_STREQ(fresh.file, "memoryAllocation");
  EXPECT_STREQ(fresh.component, "kestrel");
}

}  // namespace
