// tFirmwareImageParser: sections, header values, verification, list order
// and the codes it reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "firmware/base64Payload.h"
#include "firmware/crc32Castagnoli.h"
#include "firmware/firmwareFileWriter.h"
#include "firmware/tFirmwareImageParser.h"
#include "kestrel/kestrel.h"
#include "platform/tStatusReport.h"

using namespace nKESTREL1400;
using nFirmware::packSection;
using nFirmware::tPackedImage;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::string section(const char* target, const char* version, const std::string& content) {
  const auto bytes = bytesOf(content);
  return packSection(tPackedImage{target, version, bytes});
}

struct tParsed {
  std::int32_t code = 0;
  std::string report;
  std::vector<std::string> images;  // "TARGET version content"
};

tParsed parse(const std::string& file, std::uint64_t length) {
  tScopedStatusReport report;
  tParsed result;
  {
    const tFirmwareImageParser parser(reinterpret_cast<const std::uint8_t*>(file.data()), length, report);
    for (const tFirmwareImage* image = parser.first(); image != nullptr; image = image->next) {
      result.images.push_back(std::string(image->targetDevice) + " " + image->version + " " +
                              std::string(reinterpret_cast<const char*>(image->data), image->size));
    }
  }
  result.code = report.code();
  result.report = reportText(report);
  return result;
}
tParsed parse(const std::string& file) { return parse(file, file.size()); }

// A section with one header line replaced.
std::string edited(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

}  // namespace

TEST(FirmwareImageParser, WithoutSectionsTheListIsEmptyAndNothingIsReported) {
  const auto parsed = parse("no sections here\r\n\r\nQUJD\r\n");
  EXPECT_EQ(parsed.code, 0);
  EXPECT_TRUE(parsed.images.empty());
}

TEST(FirmwareImageParser, ReadsWhatTheWriterWrites) {
  const auto parsed = parse("preamble is ignored\r\n" + section("SAFEMODE", "1.0.0f1", "safe"));
  EXPECT_EQ(parsed.code, 0);
  EXPECT_EQ(parsed.images, std::vector<std::string>{"SAFEMODE 1.0.0f1 safe"});
}

TEST(FirmwareImageParser, HeaderValues) {
  const std::string good = section("BIOS", "2.0.0f0", "image");
  // Hexadecimal HeaderVersion, quoted values, lines in another order.
  EXPECT_EQ(parse(edited(good, "HeaderVersion::1", "HeaderVersion::0x1")).code, 0);
  EXPECT_EQ(parse(edited(good, "TargetDevice::BIOS", "TargetDevice::\"BIOS\"")).images.at(0).substr(0, 5), "BIOS ");
  EXPECT_EQ(parse(edited(good, "Version::2.0.0f0", "Version::\"2.0.0f0\"")).images.at(0), "BIOS 2.0.0f0 image");
  EXPECT_EQ(parse(edited(edited(good, "UpdateType::FWUpdate\r\n", ""), "ByteCount::",
                         "UpdateType::FWUpdate\r\nByteCount::")).code, 0);

  EXPECT_EQ(parse(edited(good, "HeaderVersion::1", "HeaderVersion::2")).code, kestrelerr_unsupportedImageHeader);
  EXPECT_EQ(parse(edited(good, "TargetDevice::BIOS", "TargetDevice::bios")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "TargetDevice::BIOS", "TargetDevice::\"BIOS")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "TargetDevice::BIOS", "TargetDevice::BIOS ")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "UpdateType::FWUpdate", "UpdateType::fwupdate")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "Version::2.0.0f0", "Version::")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "CRC::", "Checksum::")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "\r\n\r\n", "\r\n")).code, kestrelerr_invalidImage);
}

TEST(FirmwareImageParser, VerifiesLengthAndChecksum) {
  const std::string good = section("MARTEN", "1.0.0f0", "companion image");
  const auto count = good.find("ByteCount::15");
  ASSERT_NE(count, std::string::npos);
  EXPECT_EQ(parse(edited(good, "ByteCount::15", "ByteCount::14")).code, kestrelerr_invalidImage);
  EXPECT_EQ(parse(edited(good, "ByteCount::15", "ByteCount::16")).code, kestrelerr_invalidImage);
  // Every single flipped bit of the payload.
  const std::string companion = "companion image";
  for (std::size_t byte = 0; byte < companion.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string flipped = companion;
      flipped[byte] = static_cast<char>(flipped[byte] ^ (1 << bit));
      std::string file = section("MARTEN", "1.0.0f0", flipped);
      file.replace(file.find("CRC::"), 15, good.substr(good.find("CRC::"), 15));
      ASSERT_EQ(parse(file).code, kestrelerr_invalidImage) << byte << "/" << bit;
    }
  }
}

TEST(FirmwareImageParser, BiosImagesStandFirstInReverseOrder) {
  EXPECT_EQ(parse(section("MARTEN", "1.0.0f0", "m") + section("BIOS", "2.0.0f0", "b")).images,
            (std::vector<std::string>{"BIOS 2.0.0f0 b", "MARTEN 1.0.0f0 m"}));
  EXPECT_EQ(parse(section("BIOS", "1.0.0f0", "first") + section("BIOS", "1.0.0f1", "second") +
                  section("SAFEMODE", "1.0.0f0", "s") + section("MARTEN", "1.0.0f0", "m"))
                .images,
            (std::vector<std::string>{"BIOS 1.0.0f1 second", "BIOS 1.0.0f0 first", "SAFEMODE 1.0.0f0 s",
                                      "MARTEN 1.0.0f0 m"}));
}

TEST(FirmwareImageParser, TheTextEndsAtTheFirstNulAndAtTheLength) {
  const std::string first = section("SAFEMODE", "1.0.0f0", "one");
  std::string file = first + '\0' + section("SAFEMODE", "1.0.0f0", "two");
  EXPECT_EQ(parse(file).images, std::vector<std::string>{"SAFEMODE 1.0.0f0 one"});
  // A length that cuts the second section's payload short.
  file = first + section("SAFEMODE", "1.0.0f0", "two");
  EXPECT_EQ(parse(file, file.size() - 4).code, kestrelerr_invalidImage);
}

// Parsing stops at the first bad section; what came before stays listed
// and the report names the parser.
TEST(FirmwareImageParser, ReportsTheFirstBadSection) {
  const std::string bad = edited(section("BIOS", "1.0.0f0", "x"), "HeaderVersion::1", "HeaderVersion::3");
  const auto parsed = parse(section("SAFEMODE", "1.0.0f0", "kept") + bad + section("MARTEN", "1.0.0f0", "never"));
  EXPECT_EQ(parsed.code, kestrelerr_unsupportedImageHeader);
  EXPECT_EQ(parsed.images, std::vector<std::string>{"SAFEMODE 1.0.0f0 kept"});
  EXPECT_NE(parsed.report.find("\"file\":\"tFirmwareImageParser\""), std::string::npos) << parsed.report;
  EXPECT_NE(parsed.report.find("\"component\":\"kestrel\""), std::string::npos) << parsed.report;
}

// Mended: every key is read from its own section; the next section's
// lines are not this one's.
TEST(FirmwareImageParser, AKeyMissingFromItsSectionIsNotTakenFromTheNext) {
  const std::string next = section("SAFEMODE", "99.0.0f0", "s");
  for (const char* line : {"UpdateType::FWUpdate\r\n", "Version::1.0.0f0\r\n",
                           "TargetDevice::BIOS\r\n", "CRC::", "ByteCount::1\r\n"}) {
    std::string first = section("BIOS", "1.0.0f0", "b");
    first.erase(first.find(line), line == std::string("CRC::") ? 17 : std::string(line).size());
    const auto parsed = parse(section("MARTEN", "1.0.0f0", "kept") + first + next);
    EXPECT_EQ(parsed.code, kestrelerr_invalidImage) << line;
    EXPECT_EQ(parsed.images, std::vector<std::string>{"MARTEN 1.0.0f0 kept"}) << line;
  }
}

// A key counts wherever it stands in its section, its payload included,
// where its letters are payload too: "abc" and the 8 bytes that the 11
// letters and digits of "ByteCount::11" decode to.
TEST(FirmwareImageParser, AKeyInsideThePayloadCounts) {
  std::uint8_t decoded[32] = {};
  const std::string letters = "YWJjByteCount11";
  const std::size_t size = nFirmware::decodeBase64Bytewise(letters.data(), letters.size(), decoded);
  ASSERT_EQ(size, 11u);
  char crc[32];
  std::snprintf(crc, sizeof crc, "CRC::0x%08X\r\n", nFirmware::crc32Castagnoli(decoded, size));
  const std::string file = std::string("HeaderVersion::1\r\nUpdateType::FWUpdate\r\nVersion::1.0.0f0\r\n") +
                           "TargetDevice::BIOS\r\n" + crc + "\r\nYWJjByteCount::11\r\n";
  const auto parsed = parse(file + section("SAFEMODE", "1.0.0f0", "s"));
  EXPECT_EQ(parsed.code, 0) << parsed.report;
  EXPECT_EQ(parsed.images, (std::vector<std::string>{"BIOS 1.0.0f0 " + std::string(reinterpret_cast<char*>(decoded), size),
                                                     "SAFEMODE 1.0.0f0 s"}));
}

// The next section's key may follow a payload's last character directly:
// the payload ends where the key begins, whatever part of a four-character
// group or of a 64-byte block stands before it.
TEST(FirmwareImageParser, APayloadEndsWhereTheNextKeyBeginsWhereverThatIs) {
  const std::string next = section("SAFEMODE", "1.0.0f0", "s");
  for (std::size_t size = 1; size < 200; ++size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 37 + size);
    std::string first = section("BIOS", "1.0.0f0", content);
    first.resize(first.size() - 2);  // the payload's last line end
    const auto parsed = parse(first + next);
    ASSERT_EQ(parsed.code, 0) << size << " " << parsed.report;
    EXPECT_EQ(parsed.images, (std::vector<std::string>{"BIOS 1.0.0f0 " + content, "SAFEMODE 1.0.0f0 s"})) << size;
  }
}

TEST(FirmwareImageParser, AReportHoldingAnErrorParsesNothing) {
  tScopedStatusReport report;
  setCode(report, -1);
  const std::string file = section("BIOS", "1.0.0f0", "x");
  const tFirmwareImageParser parser(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), report);
  EXPECT_TRUE(parser.empty());
  EXPECT_EQ(report.code(), -1);
}

// Mended: the parser's work grows with the file, not with sections times
// file. Searching every section's values through the rest of the text
// would take minutes here; the bound is far above the linear cost.
TEST(FirmwareImageParser, ManySectionsParseInLinearTime) {
  std::string file;
  const std::string one = section("SAFEMODE", "1.0.0f0", "x");
  for (int i = 0; i < 100000; ++i) file += one;
  const auto started = std::chrono::steady_clock::now();
  const auto parsed = parse(file);
  EXPECT_EQ(parsed.code, 0);
  EXPECT_EQ(parsed.images.size(), 100000u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

// Quotes after a value decide it even from the payload's end: one alone
// refuses the file, two let it pass. Quotes past a NUL are not in the text.
// Positions run across the scanner's 64-byte blocks.
TEST(FirmwareImageParser, QuotesAnywhereAfterAValueCount) {
  const std::string good = section("SAFEMODE", "1.0.0f0", "payload");
  for (std::size_t first = 0; first < 150; first += 7) {
    for (std::size_t gap : {0u, 1u, 63u, 64u, 100u}) {
      std::string tail(first + gap + 80, '-');
      tail[first] = '"';
      EXPECT_EQ(parse(good + tail).code, kestrelerr_invalidImage) << first;
      if (gap == 0) continue;
      tail[first + gap] = '"';
      EXPECT_EQ(parse(good + tail).code, 0) << first << "+" << gap;
      tail[first + gap / 2 + 1 > first + gap - 1 ? first + 1 : first + gap / 2] = '\0';
      EXPECT_EQ(parse(good + tail).code, kestrelerr_invalidImage) << first << "+" << gap << " cut";
      tail[first] = '\0';
      EXPECT_EQ(parse(good + tail).code, 0) << first << " cut before";
    }
  }
}
