#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "json/jsonReader.h"

namespace {

jsonz_value number(const char* text) {
  jsonz_value value{};
  EXPECT_NE(jsonz_parse(text, &value), nullptr) << text;
  return value;
}

struct tSigned {
  const char* text;
  bool converts;
  std::int32_t value;
};

void expectSigned(const tSigned& c) {
  std::int32_t out = 12345;
  EXPECT_EQ(jsonz_toInt32(number(c.text), &out), c.converts) << c.text;
  if (c.converts) {
    EXPECT_EQ(out, c.value) << c.text;
  }
}

// The scanf forms: "%i" reads a leading 0 as an octal prefix (and stops at a
// digit that is not octal), "%lg" reads fractions and exponents, truncated
// toward zero. Values outside int32 fail instead of wrapping.
const tSigned kSignedCases[] = {
    {"7", true, 7},
    {"010", true, 8},
    {"09", true, 0},
    {"-010", true, -8},
    {"2.9", true, 2},
    {"-2.9", true, -2},
    {"-0.5", true, 0},
    {"1e3", true, 1000},
    {"1.", true, 1},
    {"-.5", true, 0},
    {"1e+", true, 1},
    {"2147483647", true, 2147483647},
    {"-2147483648", true, -2147483647 - 1},
    {"2147483648", false, 0},
    {"-2147483649", false, 0},
    {"99999999999999999999999", false, 0},
    {"2147483647.9", true, 2147483647},
    {"2147483648.0", false, 0},
    {"1e300", false, 0},
    {"-1e999", false, 0},
    {"-", false, 0},
};

TEST(JsonNumberConversion, ConvertsSignedAsScanfDoesWithinRange) {
  for (const auto& c : kSignedCases) expectSigned(c);
}

TEST(JsonNumberConversion, ConvertsUnsigned) {
  struct tUnsigned {
    const char* text;
    bool converts;
    std::uint32_t value;
  };
  const tUnsigned cases[] = {
      {"7", true, 7},           {"010", true, 10},         {"4294967295", true, 4294967295U},
      {"4294967296", false, 0}, {"-1", false, 0},          {"-0", true, 0},
      {"3.99", true, 3},        {"-0.9", true, 0},         {"-1.0", false, 0},
      {"4294967295.5", true, 4294967295U},                 {"1e10", false, 0},
  };
  for (const auto& c : cases) {
    std::uint32_t out = 12345;
    EXPECT_EQ(jsonz_toUInt32(number(c.text), &out), c.converts) << c.text;
    if (c.converts) {
    EXPECT_EQ(out, c.value) << c.text;
  }
  }
}

TEST(JsonNumberConversion, ReadsOnlyTheNumberText) {
  // The number is the "0"; the "x1F" after it is not part of it.
  std::int32_t out = 0;
  ASSERT_TRUE(jsonz_toInt32(number("0x1F"), &out));
  EXPECT_EQ(out, 0);
  ASSERT_TRUE(jsonz_toInt32(number("12,34"), &out));
  EXPECT_EQ(out, 12);
}

TEST(JsonNumberConversion, RejectsOtherValuesAndOverlongText) {
  std::int32_t out = 0;
  EXPECT_FALSE(jsonz_toInt32(number("\"12\""), &out));
  EXPECT_FALSE(jsonz_toInt32(number("true"), &out));
  const std::string longZeros = std::string(64, '0') + "1";
  EXPECT_FALSE(jsonz_toInt32(number(longZeros.c_str()), &out));
}

// Switches the process to a locale whose decimal separator is a comma, and
// back at the end.
class JsonNumberConversionCommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    previous_ = previous == nullptr ? "C" : previous;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr && std::localeconv()->decimal_point[0] == ',') return;
    }
    std::setlocale(LC_NUMERIC, previous_.c_str());
    GTEST_SKIP() << "no locale with a decimal comma is installed (generate one, e.g. "
                    "'localedef -i de_DE -f UTF-8 de_DE.UTF-8' from the locales package)";
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, previous_.c_str()); }

 private:
  std::string previous_;
};

TEST_F(JsonNumberConversionCommaLocale, ReadsFractionsWithTheDecimalPoint) {
  for (const auto& c : kSignedCases) expectSigned(c);
  std::uint32_t out = 0;
  ASSERT_TRUE(jsonz_toUInt32(number("3.99"), &out));
  EXPECT_EQ(out, 3U);
  std::int32_t signedOut = 0;
  ASSERT_TRUE(jsonz_toInt32(number("-12.5e1"), &signedOut));
  EXPECT_EQ(signedOut, -125);
}

}  // namespace
