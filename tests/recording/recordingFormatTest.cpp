// The recording file as written line by line and read back: every call's
// members survive the round trip, and a recording that was cut off, edited
// into something else or written by another format version is refused with
// the number of the line at fault.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/driverWireFormat.h"
#include "sim/record/recordingFormat.h"
#include "sim/record/requestBuffers.h"
#include "sim/record/tRecordLine.h"
#include "sim/record/tRecordingReader.h"

namespace {

using namespace nKESTRELSIM;
namespace nWire = nKESTREL1400::nDriverWire;

std::string header() { return nRecording::headerLine(false); }

std::string ioctlLine() {
  tRecordLine line(tRecordedCall::kIoctl, 41, 42, 1000);
  line.number("fd", 5).number("request", nWire::kGetAttribute).number("result", 0).number("error", 0);
  line.region({"descriptor", 0, tBytes{1, 2}, tBytes{1, 3}});
  line.region({"output", 0, std::nullopt, tBytes{0xFF, 0x00}});
  line.region({"buffer", 8, std::nullopt, tBytes{'a', 0}});
  return line.finish();
}

int lineOfError(const std::string& text) {
  try {
    readRecording(text);
  } catch (const tRecordingError& error) {
    return static_cast<int>(error.line());
  }
  return -1;
}

TEST(RecordingFormat, EveryKindOfLineRoundTrips) {
  std::string text = header() + ioctlLine();
  const std::vector<std::string> paths = {"/proc/driver/ze/kestrel/deviceInterfaces/a\\0", "odd\"\x01\xE9"};
  text += tRecordLine(tRecordedCall::kGlob, 41, 41, 1).text("pattern", "/proc/*").number("flags", 2)
              .number("result", 0).texts("paths", paths).finish();
  const tBytes message = {0x48, 0, 0, 0, 0xAB};
  text += tRecordLine(tRecordedCall::kRecvmsg, 41, 43, 2).number("fd", 7).number("flags", 0)
              .hex("bytes", message).number("result", 5).number("error", 0).finish();
  text += tRecordLine(tRecordedCall::kPopen, 41, 41, 3).text("command", "sudo --non-interactive tool")
              .hex("bytes", tBytes{'1', '\n'}).number("result", 256).number("error", 0).finish();
  const tRecording recording = readRecording(text);
  ASSERT_EQ(recording.exchanges.size(), 4u);
  const tExchange& ioctl = recording.exchanges[0];
  EXPECT_EQ(ioctl.line, 2u);
  EXPECT_EQ(ioctl.call, tRecordedCall::kIoctl);
  EXPECT_EQ(ioctl.process, 41);
  EXPECT_EQ(ioctl.thread, 42);
  EXPECT_EQ(ioctl.number("request"), nWire::kGetAttribute);
  ASSERT_EQ(ioctl.memory.size(), 3u);
  EXPECT_EQ(ioctl.memory[0].before, (tBytes{1, 2}));
  EXPECT_FALSE(ioctl.region("output")->before.has_value());
  EXPECT_EQ(ioctl.region("buffer", 8)->after, (tBytes{'a', 0}));
  EXPECT_EQ(recording.exchanges[1].paths, paths);  // quotes, control and high bytes kept
  EXPECT_EQ(recording.exchanges[2].bytes, message);
  EXPECT_EQ(recording.exchanges[3].text, "sudo --non-interactive tool");
  EXPECT_EQ(recording.exchanges[3].number("result"), 256);
}

TEST(RecordingFormat, RefusesWhatIsNotAWholeRecordingWithTheLineAtFault) {
  const std::string good = header() + ioctlLine() + ioctlLine();
  EXPECT_EQ(lineOfError(good.substr(0, good.size() - 10)), 3) << "cut off inside the last line";
  EXPECT_EQ(lineOfError(good.substr(0, good.size() - 1)), 3) << "cut off before the last newline";
  EXPECT_EQ(lineOfError(""), 1);
  EXPECT_EQ(lineOfError(ioctlLine()), 1) << "no format line";
  std::string edited = good;
  edited.replace(edited.rfind("\"result\":0"), 10, "\"result\":\"0\"");
  EXPECT_EQ(lineOfError(edited), 3) << "a number made a text";
  edited = good;
  edited.replace(edited.find("ff00"), 4, "ff0");
  EXPECT_EQ(lineOfError(edited), 2) << "an odd count of hex digits";
  edited = good;
  edited.replace(edited.find("\"fd\""), 4, "\"fdx\"");
  EXPECT_EQ(lineOfError(edited), 2) << "an unknown member";
  edited = good;
  edited.replace(edited.find("\"call\":\"ioctl\""), 13, "\"call\":\"read\"");
  EXPECT_EQ(lineOfError(edited), 2) << "an unknown call";
  edited = good;
  edited.erase(edited.find(",\"error\":0"), 10);
  EXPECT_EQ(lineOfError(edited), 2) << "a required member missing";
  EXPECT_EQ(lineOfError(good + "\n"), 4) << "an empty line";
}

TEST(RecordingFormat, ChecksTheFormatVersion) {
  std::string later = header();
  later.replace(later.find("\"version\":1"), 11, "\"version\":2");
  try {
    readRecording(later + ioctlLine());
    FAIL() << "a later version was read";
  } catch (const tRecordingError& error) {
    EXPECT_EQ(error.line(), 1u);
    EXPECT_NE(std::string(error.what()).find("version 2"), std::string::npos) << error.what();
  }
  EXPECT_EQ(lineOfError("{\"format\":\"other\",\"version\":1}\n"), 1);
  EXPECT_EQ(lineOfError("{\"format\":\"kestrel-recording\",\"version\":4294967297}\n"), 1) << "not cut to 1";
  EXPECT_EQ(lineOfError(header() + "2E2220000000000000000000000000001783\n"), 2) << "a number beyond any type";
  EXPECT_TRUE(readRecording(nRecording::headerLine(true)).redacted);
}

TEST(RecordingFormat, HexRefusesWhatIsNotHex) {
  EXPECT_EQ(nRecording::fromHex("00fF7a"), (tBytes{0, 0xFF, 0x7A}));
  EXPECT_FALSE(nRecording::fromHex("0g").has_value());
  EXPECT_FALSE(nRecording::fromHex("abc").has_value());
}

TEST(RequestBuffers, CallerFieldsAreLeftOutOfTheComparison) {
  nWire::tCalculateRouteInput input{};
  input.sessionId = 0x7FFF12345678;
  input.seedsAddress = 0x5555AAAA;
  input.seedsCount = 2;
  input.destinationsCount = 3;
  input.resultsAddress = 0x1234;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&input);
  const auto compared = comparableInput(nWire::kCalculateRoute, {bytes, sizeof input});
  nWire::tCalculateRouteInput expected{};
  expected.seedsCount = 2;
  expected.destinationsCount = 3;
  EXPECT_EQ(compared, tBytes(reinterpret_cast<const std::uint8_t*>(&expected),
                             reinterpret_cast<const std::uint8_t*>(&expected) + sizeof expected));
  const auto seeds = buffersOf(nWire::kCalculateRoute);
  ASSERT_EQ(seeds.size(), 3u);
  EXPECT_EQ(placeOf(seeds[0], {bytes, sizeof input}).size, 2 * sizeof(nWire::tRouteSeed));
  EXPECT_EQ(placeOf(seeds[1], {bytes, sizeof input}).size, 0u) << "no address, nothing to record";
  EXPECT_EQ(placeOf(seeds[0], {bytes, 12}).size, 0u) << "a short record names no buffer";
}

}  // namespace
