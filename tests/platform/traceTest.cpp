#include <gtest/gtest.h>

#include <string>

#include "platform/tConsoleTraceDestination.h"
#include "platform/tTrace.h"
#include "platform/zesdbg.h"
#include "platform/zesdbgAssert.h"

using namespace nKESTREL1400::nBRIO000;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

TEST(zesdbg, PrintfCutsAt511Characters) {
  const std::string message(600, 'm');
  CaptureStderr();
  zesdbg_printf("%s", message.c_str());
  EXPECT_EQ(GetCapturedStderr(), message.substr(0, 511));
}

TEST(zesdbg, VarLinePrefixesComponentFileAndLine) {
  CaptureStderr();
  zesdbg_VarLine("abc", 7, "\n").printf("hello %d", 5);
  EXPECT_EQ(GetCapturedStderr(), "[   kestrel|                             abc|0007] hello 5\n");

  const std::string file40 = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  CaptureStderr();
  zesdbg_VarLine(file40.c_str(), 12345, "").printf("x");
  EXPECT_EQ(GetCapturedStderr(), "[   kestrel|" + file40.substr(8) + "|2345] x");

  CaptureStderr();
  zesdbg_VarLine("f", 0, "").printf("%s", "");
  EXPECT_EQ(GetCapturedStderr(), "[   kestrel|                               f|0000] ");
}

TEST(zesdbg, VarLineKeepsRoomForTheSuffix) {
  const std::string message(600, 'm');
  CaptureStderr();
  zesdbg_VarLine("f", 1, "\n").printf("%s", message.c_str());
  const std::string line = GetCapturedStderr();
  EXPECT_EQ(line.size(), 511u);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line[509], 'm');
}

TEST(zesdbg, VarLineToBufferWritesIntoTheBuffer) {
  char buffer[80];
  CaptureStderr();
  zesdbg_VarLineToBuffer(buffer, sizeof buffer, "abc", 7, "!").printf("%s", "hi");
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_STREQ(buffer, "[   kestrel|                             abc|0007] hi!");
  char tiny[5];
  zesdbg_VarLineToBuffer(tiny, sizeof tiny, "abc", 7, "").printf("x");
  EXPECT_STREQ(tiny, "[   ");
}

TEST(tConsoleTraceDestination, WritesTextAndCountedBytes) {
  tConsoleTraceDestination& console = consoleTraceDestination();
  CaptureStderr();
  console.writeText("text ");
  console.writeBytes("abcdef", 3);
  console.writeBytes("ab\0cd", 5);
  EXPECT_EQ(GetCapturedStderr(), "text abcab");
  EXPECT_TRUE(console.isEnabled());
  EXPECT_STREQ(console.getName(), "zesdbg_printf");
}

TEST(tConsoleTraceDestination, CommandLineArgumentsAreCutToTheBuffer) {
  tConsoleTraceDestination& console = consoleTraceDestination();
  char buffer[10];
  std::size_t needed = 0;
  console.getCommandLineArguments(buffer, sizeof buffer, &needed);
  EXPECT_STREQ(buffer, " --destin");
  EXPECT_EQ(needed, 20u);
  char full[32];
  console.getCommandLineArguments(full, sizeof full, &needed);
  EXPECT_STREQ(full, " --destination brio");
  needed = 0;
  console.getCommandLineArguments(nullptr, 0, &needed);
  EXPECT_EQ(needed, 20u);
}

TEST(formatUnsigned, WritesRadixMarkers) {
  char out[32];
  EXPECT_STREQ(formatUnsigned(255, 16, out), "0xFF");
  EXPECT_STREQ(formatUnsigned(255, 10, out), "255");
  EXPECT_STREQ(formatUnsigned(255, 8, out), "255#");
  EXPECT_STREQ(formatUnsigned(0, 16, out), "0x0");
  EXPECT_STREQ(formatUnsigned(UINT64_MAX, 10, out), "18446744073709551615");
}

TEST(tTrace, ProcessTraceIsBoundToTheConsole) {
  tTrace& trace = processTrace();
  EXPECT_EQ(trace.destination(), &consoleTraceDestination());
  EXPECT_TRUE(trace.switchValue(0));
  EXPECT_FALSE(trace.switchValue(2));
  EXPECT_FALSE(trace.lockExists());
}

std::string gHandledCondition;
void recordingHandler(zesdbg_VarLine& line, const char* condition) {
  gHandledCondition = std::string(line.file()) + ":" + std::to_string(line.line()) + ":" + condition;
}

TEST(assertion, ReportsThreeLinesThenCallsTheHandlerAndReturns) {
  const tAssertionHandler previous = setAssertionHandler(&recordingHandler);
  CaptureStderr();
  EXPECT_FALSE(checkAssertion(false, "TarnRoutingAdaptor", 88, "ASSERT(n <= kMaxSize)"));
  EXPECT_EQ(GetCapturedStderr(),
            "[kestrel|TarnRoutingAdaptor|88] !!ASSERT!!\n"
            "[   kestrel|              TarnRoutingAdaptor|0088] ASSERT(n <= kMaxSize)\n"
            "[   kestrel|              TarnRoutingAdaptor|0088]  \n");
  EXPECT_EQ(gHandledCondition, "TarnRoutingAdaptor:88:ASSERT(n <= kMaxSize)");
  setAssertionHandler(previous);

  CaptureStderr();
  EXPECT_TRUE(checkAssertion(true, "f", 1, "ASSERT(true)"));
  EXPECT_EQ(GetCapturedStderr(), "");
}

}  // namespace
