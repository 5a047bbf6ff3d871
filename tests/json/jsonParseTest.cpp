#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "json/jsonReader.h"

namespace {

// The text in a heap block of exactly its length + 1, so that a read past
// its NUL is caught by AddressSanitizer.
class tExactText {
 public:
  explicit tExactText(const std::string& text) : bytes_(new char[text.size() + 1]) {
    std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
  }
  const char* get() const { return bytes_.get(); }
  const char* at(std::size_t offset) const { return bytes_.get() + offset; }

 private:
  std::unique_ptr<char[]> bytes_;
};

struct tParseFailure {
  const char* text;
  std::size_t offset;  // error position
  std::int32_t code;
};

void expectFailure(const tParseFailure& c) {
  SCOPED_TRACE(c.text);
  const tExactText text(c.text);
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(text.get(), &value), nullptr);
  EXPECT_EQ(value.type, jsonz_typeError);
  EXPECT_EQ(value.text, text.at(c.offset));
  EXPECT_EQ(value.length, static_cast<std::uint64_t>(c.code));
}

TEST(JsonParse, FailsWithTheCodeAndPositionOfTheFault) {
  const tParseFailure cases[] = {
      {"[1,]", 3, jsonz_errorTrailingComma},
      {"{\"a\":1,}", 7, jsonz_errorTrailingComma},
      {"[1 2]", 3, jsonz_errorCommaExpected},
      {"[1}", 2, jsonz_errorCommaExpected},
      {"{\"a\" 1}", 5, jsonz_errorColonExpected},
      {"{\"a\":1", 6, jsonz_errorObject},
      {"{\"a\"", 4, jsonz_errorObject},
      {"{\"a\":", 5, jsonz_errorObject},
      {"{", 1, jsonz_errorObject},
      {"[1,", 3, jsonz_errorArray},
      {"[", 1, jsonz_errorArray},
      {"{1:2}", 1, jsonz_errorValueExpected},
      {"[1,}", 3, jsonz_errorValueExpected},
      {"\"abc", 4, jsonz_errorValueExpected},
      {"\"a\tb\"", 2, jsonz_errorValueExpected},
      {"\"a\\qb\"", 3, jsonz_errorBadEscape},
      {"\"\\u12G4\"", 5, jsonz_errorBadEscape},
      {"\"\\u12", 5, jsonz_errorBadEscape},
      {"\"\\", 2, jsonz_errorBadEscape},
      {"[\"ok\", \"a\\x\"]", 10, jsonz_errorBadEscape},
      {"  xyz", 2, jsonz_errorValueExpected},
      {"", 0, jsonz_errorValueExpected},
      {"tru", 0, jsonz_errorValueExpected},
      {".5", 0, jsonz_errorValueExpected},
      {"+1", 0, jsonz_errorValueExpected},
  };
  for (const auto& c : cases) expectFailure(c);
}

TEST(JsonParse, NullTextIsReported) {
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(nullptr, &value), nullptr);
  EXPECT_EQ(value.type, jsonz_typeError);
  EXPECT_EQ(value.length, static_cast<std::uint64_t>(jsonz_errorNoText));
  EXPECT_EQ(jsonz_peek(nullptr, nullptr), nullptr);
}

TEST(JsonParse, ReturnsThePositionAfterTheValue) {
  const tExactText text("  [1, 2]x");
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(text.get(), &value), text.at(8));
  EXPECT_EQ(value.type, jsonz_typeArray);
  EXPECT_EQ(value.text, text.at(2));
  EXPECT_EQ(jsonz_parse(text.get(), nullptr), text.at(8));
}

TEST(JsonParse, DescribesScalars) {
  const tExactText string(" \"a\\nb\" ");
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(string.get(), &value), string.at(7));
  EXPECT_EQ(value.type, jsonz_typeString);
  EXPECT_EQ(value.text, string.at(2));
  EXPECT_EQ(value.length, 4U);

  const tExactText raw("\"\x7f\xc3\xa9\xff\"");
  EXPECT_EQ(jsonz_parse(raw.get(), &value), raw.at(6));
  EXPECT_EQ(value.length, 4U);

  EXPECT_NE(jsonz_parse("true", &value), nullptr);
  EXPECT_TRUE(jsonz_isTrue(value));
  EXPECT_NE(jsonz_parse("false", &value), nullptr);
  EXPECT_EQ(value.type, jsonz_typeBool);
  EXPECT_FALSE(jsonz_isTrue(value));
  EXPECT_NE(jsonz_parse("null", &value), nullptr);
  EXPECT_EQ(value.type, jsonz_typeNull);

  // Literals do not look at the byte that follows them.
  const tExactText truex("truex");
  EXPECT_EQ(jsonz_parse(truex.get(), &value), truex.at(4));
}

TEST(JsonParse, AcceptsTheLenientNumberForms) {
  struct tNumber {
    const char* text;
    std::uint64_t length;
    std::uint64_t floating;
  };
  const tNumber numbers[] = {
      {"-", 1, 0},   {"1.", 2, 1},    {"-.5", 3, 1},     {"1e+", 3, 1},  {"007", 3, 0},
      {"-0", 2, 0},  {"1E5]", 3, 1},  {"2.5e-3,", 6, 1}, {"12x", 2, 0},  {"-e5", 3, 1},
  };
  for (const auto& n : numbers) {
    SCOPED_TRACE(n.text);
    const tExactText text(n.text);
    jsonz_value value{};
    EXPECT_EQ(jsonz_parse(text.get(), &value), text.at(n.length));
    EXPECT_EQ(value.type, jsonz_typeNumber);
    EXPECT_EQ(value.text, text.get());
    EXPECT_EQ(value.length, n.length);
    EXPECT_EQ(value.floating, n.floating);
  }
  for (const char* bad : {"1e", "1ex", "1.5E", "[1e]"}) {
    SCOPED_TRACE(bad);
    jsonz_value value{};
    EXPECT_EQ(jsonz_parse(bad, &value), nullptr);
    EXPECT_EQ(value.length, static_cast<std::uint64_t>(jsonz_errorValueExpected));
  }
}

TEST(JsonPeek, RecognisesContainersByTheirBracketOnly) {
  const tExactText text(" { broken");
  jsonz_value value{};
  EXPECT_EQ(jsonz_peek(text.get(), &value), text.at(1));
  EXPECT_EQ(value.type, jsonz_typeObject);
  EXPECT_EQ(jsonz_parse(text.get(), &value), nullptr);
  const tExactText open("[");
  EXPECT_EQ(jsonz_peek(open.get(), &value), open.get());
  EXPECT_EQ(value.type, jsonz_typeArray);
  const tExactText number("12 ");
  EXPECT_EQ(jsonz_peek(number.get(), &value), number.at(2));
  EXPECT_EQ(value.type, jsonz_typeNumber);
}

std::string nested(int depth, const char* inner = "") {
  std::string text;
  for (int i = 0; i < depth; ++i) text += (i % 2 == 0) ? "[" : "{\"k\":";
  text += inner;
  for (int i = depth - 1; i >= 0; --i) text += (i % 2 == 0) ? "]" : "}";
  return text;
}

TEST(JsonParse, AcceptsNestingUpToTheLimit) {
  const tExactText text(nested(kJsonzMaxDepth, "1"));
  jsonz_value value{};
  ASSERT_NE(jsonz_parse(text.get(), &value), nullptr);
  EXPECT_EQ(value.type, jsonz_typeArray);
  EXPECT_EQ(jsonz_containerEnd(text.get()), text.at(std::strlen(text.get()) - 1));
}

TEST(JsonParse, FailsCleanlyOneLevelBeyondTheLimit) {
  const std::string deeper = nested(kJsonzMaxDepth + 1);
  const std::size_t offending = deeper.find_last_of("[{");
  const tExactText text(deeper);
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(text.get(), &value), nullptr);
  EXPECT_EQ(value.text, text.at(offending));
  const bool isObject = deeper[offending] == '{';
  EXPECT_EQ(value.length, static_cast<std::uint64_t>(isObject ? jsonz_errorObject : jsonz_errorArray));
}

TEST(JsonParse, SurvivesHundredsOfThousandsOfOpenBrackets) {
  for (const char bracket : {'[', '{'}) {
    const tExactText text(std::string(300000, bracket));
    jsonz_value value{};
    EXPECT_EQ(jsonz_parse(text.get(), &value), nullptr);
    EXPECT_EQ(jsonz_containerEnd(text.get()), nullptr);
    EXPECT_EQ(jsonz_findMember(text.get(), "a"), nullptr);
  }
  // An object nests arrays through member values: only the first level is
  // an object, the limit is hit by an array.
  const tExactText mixed("{\"a\":" + std::string(300000, '['));
  jsonz_value value{};
  EXPECT_EQ(jsonz_parse(mixed.get(), &value), nullptr);
  EXPECT_EQ(value.text, mixed.at(5 + kJsonzMaxDepth - 1));
  EXPECT_EQ(value.length, static_cast<std::uint64_t>(jsonz_errorArray));
}

TEST(JsonParse, TruncatedTextsNeverReadPastTheirEnd) {
  const std::string whole =
      "{\"a\" : [1, -2.5e+3, \"x\\u00e9\\\"\", true, false, null, {}, []], \"b\\n\":{\"c\":{}}}";
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    const tExactText text(whole.substr(0, cut));
    jsonz_value value{};
    EXPECT_EQ(jsonz_parse(text.get(), &value), nullptr) << cut;
    EXPECT_EQ(jsonz_containerEnd(text.get()), nullptr);
    EXPECT_EQ(jsonz_findMember(text.get(), "zz"), nullptr);
  }
  const tExactText text(whole);
  EXPECT_EQ(jsonz_parse(text.get(), nullptr), text.at(whole.size()));
}

}  // namespace
