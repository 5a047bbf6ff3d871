// Terminal names without regard to case: the generated table against
// Unicode's CaseFolding.txt, and the comparison built on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "routing/caseFolding.h"
#include "routing/caseFoldingTable.h"

namespace {

using tarn::kCaseFoldingTable;

constexpr const char* kCaseFoldingFile = "/usr/share/unicode/CaseFolding.txt";

struct tRange {
  char32_t low;
  char32_t high;
};
constexpr tRange kRanges[] = {{0x0041, 0x0232}, {0x1E00, 0x1E9B}, {0x2160, 0x216F},
                              {0x24B6, 0x24CF}, {0xFB00, 0xFB06}, {0xFF21, 0xFF3A}};

std::string hexOf(char32_t c) {
  std::ostringstream text;
  text << "U+" << std::hex << static_cast<std::uint32_t>(c);
  return text.str();
}

bool inRanges(char32_t c) {
  for (const tRange& range : kRanges) {
    if (c >= range.low && c <= range.high) return true;
  }
  return false;
}

// The C and F rows of the file for the ranges, and the file's version line.
std::map<char32_t, std::vector<std::uint32_t>> readCaseFolding(std::ifstream& file, std::string& version) {
  std::map<char32_t, std::vector<std::uint32_t>> rows;
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("# CaseFolding-", 0) == 0) version = line.substr(2);
    std::istringstream fields(line.substr(0, line.find('#')));
    std::string code, status, mapping;
    if (!std::getline(fields, code, ';') || !std::getline(fields, status, ';') || !std::getline(fields, mapping, ';')) {
      continue;
    }
    if (status != " C" && status != " F") continue;
    const auto codePoint = static_cast<char32_t>(std::stoul(code, nullptr, 16));
    if (!inRanges(codePoint)) continue;
    std::istringstream units(mapping);
    std::vector<std::uint32_t> folded;
    for (std::string unit; units >> unit;) folded.push_back(static_cast<std::uint32_t>(std::stoul(unit, nullptr, 16)));
    rows[codePoint] = folded;
  }
  return rows;
}

TEST(CaseFoldingTable, EqualsTheUnicodeFileForItsRanges) {
  std::ifstream file(kCaseFoldingFile);
  if (!file) GTEST_SKIP() << kCaseFoldingFile << " is absent (Debian package unicode-data)";
  std::string version;
  const auto rows = readCaseFolding(file, version);
  if (version != tarn::kCaseFoldingSource) {
    GTEST_SKIP() << "the table was generated from " << tarn::kCaseFoldingSource << ", this machine has " << version
                 << "; run scripts/generateCaseFolding.py";
  }
  ASSERT_EQ(std::size(kCaseFoldingTable), rows.size());
  for (const auto& row : kCaseFoldingTable) {
    const auto found = rows.find(row.codePoint);
    ASSERT_NE(found, rows.end()) << std::hex << hexOf(row.codePoint);
    EXPECT_EQ(std::vector<std::uint32_t>(row.folded, row.folded + row.count), found->second) << hexOf(row.codePoint);
  }
}

TEST(CaseFoldingTable, CodePointsWithoutARowFoldToThemselves) {
  for (char32_t c = 0; c < 0x10000; ++c) {
    char32_t folded[3] = {};
    const unsigned count = tarn::foldCodePoint(c, folded);
    const bool hasRow = std::any_of(std::begin(kCaseFoldingTable), std::end(kCaseFoldingTable),
                                    [c](const tarn::tCaseFoldingRow& row) { return row.codePoint == c; });
    if (!hasRow) {
      ASSERT_EQ(count, 1u) << hexOf(c);
      ASSERT_EQ(hexOf(folded[0]), hexOf(c));
    }
    if (!inRanges(c)) {
      ASSERT_FALSE(hasRow) << hexOf(c);
    }
  }
}

bool match(const std::string& a, const std::string& b) {
  return tarn::namesMatch(a.data(), a.size(), b.data(), b.size()) &&
         tarn::tFoldedName(a.data(), a.size()).matches(b.c_str());
}

bool differ(const std::string& a, const std::string& b) {
  return !tarn::namesMatch(a.data(), a.size(), b.data(), b.size()) &&
         !tarn::tFoldedName(a.data(), a.size()).matches(b.c_str());
}

TEST(TerminalNameMatch, FoldsInTheListedRangesOnly) {
  EXPECT_TRUE(match("pxi_trig0", "PXI_Trig0"));
  EXPECT_TRUE(match("Straße", "STRASSE"));                       // full folding: U+00DF is "ss"
  EXPECT_TRUE(match("\xEF\xAC\x80", "FF"));                      // U+FB00 ligature ff
  EXPECT_TRUE(match("\xE2\x85\xAB", "\xE2\x85\xBB"));            // roman numeral twelve, both cases
  EXPECT_TRUE(match("\xEF\xBC\xB0\xEF\xBC\xB8", "\xEF\xBD\x90\xEF\xBD\x98"));  // fullwidth PX / px
  EXPECT_TRUE(match("\xC4\xB0", "i\xCC\x87"));                   // U+0130 folds to i + combining dot
  EXPECT_TRUE(match("\xC8\xB2", "\xC8\xB3"));                    // U+0232, the last of the first range
  EXPECT_TRUE(differ("\xCE\x91", "\xCE\xB1"));                   // Greek alpha lies outside the ranges
  EXPECT_TRUE(differ("STRA\xE1\xBA\x9E" "E", "strasse"));        // U+1E9E lies outside the ranges
  EXPECT_TRUE(differ("\xEF\xBC\xB0", "p"));                      // fullwidth folds to fullwidth
  EXPECT_TRUE(differ("PXI_Trig0", "PXI_Trig"));
  EXPECT_TRUE(differ("PXI_Trig", "PXI_Trig0"));
  EXPECT_TRUE(differ("", "FLOAT"));
}

TEST(TerminalNameMatch, MalformedUtf8MatchesOnlyItself) {
  EXPECT_TRUE(match("\xFF\xFE", "\xFF\xFE"));
  EXPECT_TRUE(differ("\xC1\x81", "a"));          // overlong form of 'A'
  EXPECT_TRUE(differ("\xE0\x81\x81", "a"));      // overlong in three bytes
  EXPECT_TRUE(differ("\xED\xA0\x80", "\xFF"));   // a surrogate is no code point
  EXPECT_TRUE(differ("\xC3", "\xC3\x9F"));       // cut sequence
  EXPECT_TRUE(match("\xC3", "\xC3"));
}

TEST(TerminalNameMatch, NamesLongerThanTheInlineRoomStillCompare) {
  const std::string upper(200, 'A');
  const std::string lower(200, 'a');
  EXPECT_TRUE(match(upper, lower));
  EXPECT_TRUE(differ(upper, lower + "a"));
  EXPECT_TRUE(match(std::string(100, 'a') + "\xC3\x9F", std::string(100, 'A') + "SS"));
}

}  // namespace
