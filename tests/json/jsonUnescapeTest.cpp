#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "json/jsonReader.h"

namespace {

// Unescapes `raw` into a buffer of exactly raw length + 1 bytes; nullopt when
// the escape is invalid.
std::optional<std::string> unescape(const std::string& raw) {
  std::vector<char> out(raw.size() + 1, 'X');
  char* end = jsonz_unescape(raw.data(), raw.size(), out.data());
  if (end == nullptr) return std::nullopt;
  EXPECT_EQ(*end, 0);
  return std::string(out.data(), end);
}

TEST(JsonUnescape, DecodesEverySimpleEscape) {
  EXPECT_EQ(unescape(R"(a\"b\\c\/d\be\ff\ng\rh\ti)"), std::string("a\"b\\c/d\be\ff\ng\rh\ti"));
  EXPECT_EQ(unescape(""), std::string());
  EXPECT_EQ(unescape("plain \x7f\xc3\xa9"), std::string("plain \x7f\xc3\xa9"));
}

TEST(JsonUnescape, WritesUnicodeEscapesInUtf8) {
  EXPECT_EQ(unescape(R"(\u0041\u00e9\u00E9\u20ac)"), std::string("A\xc3\xa9\xc3\xa9\xe2\x82\xac"));
  EXPECT_EQ(unescape(R"(\u007f\u0080\u07ff\u0800\uffff)"),
            std::string("\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf"));
  EXPECT_EQ(unescape(R"(\uD83D\uDE00)"), std::string("\xf0\x9f\x98\x80"));
  EXPECT_EQ(unescape(R"(\udbff\udfff)"), std::string("\xf4\x8f\xbf\xbf"));
}

TEST(JsonUnescape, RejectsInvalidEscapesAndLoneSurrogates) {
  const char* invalid[] = {
      R"(\uD83D)",        R"(\uD83Dx)",       R"(\uD83D\u0041)", R"(\uDE00)",  R"(\uDE00\uD83D)",
      R"(\uD83D\uD83D)",  R"(\uD83D\n)",      R"(\q)",           R"(\)",       R"(\u12)",
      R"(\u12G4)",        R"(ab\uD83D\uDE0)",
  };
  for (const char* raw : invalid) EXPECT_EQ(unescape(raw), std::nullopt) << raw;
}

TEST(JsonUnescape, AnEscapedZeroEndsTheText) {
  const std::string raw = R"(ab\u0000cd)";
  std::vector<char> out(raw.size() + 1, 'X');
  EXPECT_EQ(jsonz_unescape(raw.data(), raw.size(), out.data()), nullptr);
  EXPECT_STREQ(out.data(), "ab");
  EXPECT_FALSE(jsonz_keyEquals("ab", raw.data(), raw.size()));
}

TEST(JsonUnescape, StopsAtTheRawLength) {
  const char* raw = R"(ab\n)";
  char out[3];
  ASSERT_NE(jsonz_unescape(raw, 2, out), nullptr);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(jsonz_unescape(raw, 3, out), nullptr);  // cut inside the escape
}

TEST(JsonKeyEquals, ComparesTheUnescapedText) {
  const std::string raw = R"(a\u0062\"\uD83D\uDE00)";
  EXPECT_TRUE(jsonz_keyEquals("ab\"\xf0\x9f\x98\x80", raw.data(), raw.size()));
  EXPECT_FALSE(jsonz_keyEquals("ab\"", raw.data(), raw.size()));
  EXPECT_FALSE(jsonz_keyEquals("ab\"\xf0\x9f\x98\x80!", raw.data(), raw.size()));
  EXPECT_TRUE(jsonz_keyEquals("", "", 0));
  EXPECT_FALSE(jsonz_keyEquals("a", R"(\x)", 2));
  EXPECT_FALSE(jsonz_keyEquals(nullptr, "a", 1));
}

}  // namespace
