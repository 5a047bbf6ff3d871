#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/jsonReader.h"

namespace {

std::string rawKey(const jsonz_value& key) { return std::string(key.text, key.length); }

// Walks an object's members, parsing each value; returns "key=value;" pairs
// or the error code where the walk failed.
std::string walkMembers(const char* text) {
  std::string seen;
  jsonz_value key{};
  bool more = false;
  const char* p = jsonz_firstMember(text, &key, &more);
  while (p != nullptr && more) {
    const char* end = jsonz_parse(p, nullptr);
    if (end == nullptr) return seen + "bad value";
    seen += rawKey(key) + "=" + std::string(p, end) + ";";
    p = jsonz_nextMember(end, &key, &more);
  }
  if (p == nullptr) return seen + "error " + std::to_string(key.length) + " at " + std::to_string(key.text - text);
  return seen + "end at " + std::to_string(p - text);
}

TEST(JsonMembers, WalksEmptyAndNestedObjects) {
  EXPECT_EQ(walkMembers(" { } x"), "end at 4");
  EXPECT_EQ(walkMembers("{\"a\" : 1 , \"b\\\"\":{\"c\":[2]}}"), "a=1;b\\\"={\"c\":[2]};end at 27");
  EXPECT_EQ(walkMembers("{\"\":null}"), "=null;end at 9");
}

TEST(JsonMembers, ReportsMalformedObjects) {
  EXPECT_EQ(walkMembers("[1]"), "error 3 at 0");
  EXPECT_EQ(walkMembers("  "), "error 3 at 2");
  EXPECT_EQ(walkMembers("{\"a\" 1}"), "error 5 at 5");
  EXPECT_EQ(walkMembers("{\"a\":1 \"b\":2}"), "a=1;error 6 at 7");
  EXPECT_EQ(walkMembers("{\"a\":1,}"), "a=1;error 8 at 7");
  EXPECT_EQ(walkMembers("{\"a\":1"), "a=1;error 6 at 6");  // the walk wants "," or "}"
  EXPECT_EQ(walkMembers("{\"a\":"), "error 3 at 5");
  EXPECT_EQ(walkMembers("{1:2}"), "error 2 at 1");
  EXPECT_EQ(walkMembers("{\"a\\q\":2}"), "error 7 at 4");

  jsonz_value key{};
  bool more = true;
  EXPECT_EQ(jsonz_firstMember(nullptr, &key, &more), nullptr);
  EXPECT_EQ(key.length, static_cast<std::uint64_t>(jsonz_errorNoText));
  const char* empty = "{}";
  EXPECT_EQ(jsonz_firstMember(empty, nullptr, nullptr), empty + 2);
}

std::vector<std::string> walkElements(const char* text, bool& wellFormed) {
  std::vector<std::string> elements;
  bool more = false;
  const char* p = jsonz_firstElement(text, &more);
  while (p != nullptr && more) {
    const char* end = jsonz_parse(p, nullptr);
    if (end == nullptr) break;
    elements.emplace_back(p, end);
    p = jsonz_nextElement(end, &more);
  }
  wellFormed = p != nullptr && !more;
  return elements;
}

TEST(JsonElements, WalksEmptyNestedAndMalformedArrays) {
  bool ok = false;
  EXPECT_TRUE(walkElements(" [ ]", ok).empty());
  EXPECT_TRUE(ok);
  EXPECT_EQ(walkElements("[1, [2, 3], {\"a\":[]}, \"s\"]", ok),
            (std::vector<std::string>{"1", "[2, 3]", "{\"a\":[]}", "\"s\""}));
  EXPECT_TRUE(ok);
  for (const char* bad : {"[1,]", "[1 2]", "[1", "[", "{}", "[1,", "", "[1}"}) {
    walkElements(bad, ok);
    EXPECT_FALSE(ok) << bad;
  }
}

TEST(JsonElements, ShortFormReturnsOnlyElements) {
  const char* text = "[7, 8]";
  const char* first = jsonz_firstElement(text);
  ASSERT_EQ(first, text + 1);
  const char* second = jsonz_nextElement(first + 1);
  ASSERT_EQ(second, text + 4);
  EXPECT_EQ(jsonz_nextElement(second + 1), nullptr);
  EXPECT_EQ(jsonz_firstElement("[]"), nullptr);
  EXPECT_EQ(jsonz_firstElement(nullptr), nullptr);
}

TEST(JsonFindMember, FindsByUnescapedName) {
  const char* text = " {\"a\":1,\"b\":[2]}";
  EXPECT_EQ(jsonz_findMember(text, "b"), text + 12);
  EXPECT_EQ(jsonz_findMember(text, "a"), text + 6);
  EXPECT_EQ(jsonz_findMember(text, "c"), nullptr);
  EXPECT_EQ(jsonz_findMember(text, ""), nullptr);

  const char* escaped = "{\"x\":0, \"\\u0062\":true, \"b\":false}";
  jsonz_value value{};
  ASSERT_NE(jsonz_parse(jsonz_findMember(escaped, "b"), &value), nullptr);
  EXPECT_TRUE(jsonz_isTrue(value));
  EXPECT_NE(jsonz_findMember("{\"caf\\u00e9\":1}", "caf\xc3\xa9"), nullptr);
}

TEST(JsonFindMember, GivesUpOnMalformedObjects) {
  // Values passed over are validated; the member found first is not.
  EXPECT_EQ(jsonz_findMember("{\"a\":[1,],\"b\":2}", "b"), nullptr);
  EXPECT_NE(jsonz_findMember("{\"b\":2,\"a\":[1,]}", "b"), nullptr);
  EXPECT_EQ(jsonz_findMember("[\"b\"]", "b"), nullptr);
  EXPECT_EQ(jsonz_findMember("{\"a\":1 \"b\":2}", "b"), nullptr);
  EXPECT_EQ(jsonz_findMember(nullptr, "b"), nullptr);
  EXPECT_EQ(jsonz_findMember("{\"b\":1}", nullptr), nullptr);
  // A name with an escaped NUL matches no name, not even its prefix.
  EXPECT_EQ(jsonz_findMember("{\"b\\u0000c\":1}", "b"), nullptr);
}

TEST(JsonContainerEnd, ReturnsTheClosingBracket) {
  const char* text = " {\"a\":[1,{}]} ";
  EXPECT_EQ(jsonz_containerEnd(text), text + 12);
  EXPECT_EQ(jsonz_containerEnd(text + 6), text + 11);
  EXPECT_EQ(jsonz_containerEnd("1"), nullptr);
  EXPECT_EQ(jsonz_containerEnd("[1,]"), nullptr);
  EXPECT_EQ(jsonz_containerEnd(nullptr), nullptr);
}

TEST(JsonGetters, ReturnValuesOrDefaults) {
  const char* text = " \"ab\\n\" ,";
  std::size_t length = 0;
  const char* next = nullptr;
  EXPECT_EQ(jsonz_getString(text, "dflt", &length, &next), text + 2);
  EXPECT_EQ(length, 4U);
  EXPECT_EQ(next, text + 7);

  EXPECT_STREQ(jsonz_getString("12", "dflt", &length, &next), "dflt");
  EXPECT_EQ(length, 4U);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(jsonz_getString("[", nullptr, &length, nullptr), nullptr);
  EXPECT_EQ(length, 0U);

  const char* number = "-17]";
  EXPECT_EQ(jsonz_getInt(number, 5, &next), -17);
  EXPECT_EQ(next, number + 3);
  EXPECT_EQ(jsonz_getInt("\"3\"", 5, &next), 5);
  EXPECT_EQ(next, nullptr);
  EXPECT_EQ(jsonz_getInt("-", 5, &next), 5);
  EXPECT_EQ(jsonz_getInt("99999999999", 5, nullptr), 5);
}

}  // namespace
