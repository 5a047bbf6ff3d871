#include "json/jsonWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

// A writer buffer of `size` bytes holding `text`.
struct Buffer {
  Buffer(std::size_t size, const char* text) : bytes(size, 'x') { start = jsonz_initBuffer(bytes.data(), size, text); }
  std::string text() const { return bytes.data(); }
  char* end() { return bytes.data() + std::strlen(bytes.data()) - 1; }
  std::vector<char> bytes;
  char* start;
};

nlohmann::json parsed(const Buffer& buffer) { return nlohmann::json::parse(buffer.text()); }

TEST(jsonz_initBuffer, LaysOutTextZerosAndSentinel) {
  Buffer buffer(8, "{}");
  ASSERT_NE(buffer.start, nullptr);
  EXPECT_EQ(*buffer.start, '}');
  EXPECT_EQ(buffer.text(), "{}");
  for (std::size_t i = 2; i < 7; ++i) EXPECT_EQ(buffer.bytes[i], '\0') << i;
  EXPECT_EQ(buffer.bytes[7], 'J');

  std::vector<char> tight(3);
  EXPECT_EQ(jsonz_initBuffer(tight.data(), tight.size(), "{}"), nullptr);
  std::vector<char> exact(4);
  EXPECT_NE(jsonz_initBuffer(exact.data(), exact.size(), "{}"), nullptr);

  std::vector<char> keep(16, '\0');
  std::memcpy(keep.data(), "[1]", 4);
  EXPECT_EQ(*jsonz_initBuffer(keep.data(), keep.size(), nullptr), ']');
  EXPECT_EQ(keep[15], 'J');
}

TEST(jsonz_add, MembersAreSeparatedByCommas) {
  Buffer buffer(16, "{}");
  char* p = jsonz_addUInt32(buffer.start, "a", 1);
  EXPECT_EQ(buffer.text(), R"({"a":1})");
  jsonz_addUInt32(p, "b", 2);
  EXPECT_EQ(buffer.text(), R"({"a":1,"b":2})");
}

TEST(jsonz_add, EveryValueKind) {
  Buffer buffer(256, "{}");
  char* p = buffer.start;
  p = jsonz_addString(p, "s", "v");
  p = jsonz_addBool(p, "t", true);
  p = jsonz_addBool(p, "f", false);
  p = jsonz_addUInt32(p, "u", 4294967295u);
  p = jsonz_addUInt64(p, "w", 18446744073709551615ull);
  p = jsonz_addInt32(p, "i", -2147483647 - 1);
  p = jsonz_addRaw(p, "r", "[1,{\"x\":null}]");
  p = jsonz_addObject(p, "o");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(buffer.text(),
            R"({"s":"v","t":true,"f":false,"u":4294967295,"w":18446744073709551615,)"
            R"("i":-2147483648,"r":[1,{"x":null}],"o":{}})");
  const auto json = parsed(buffer);
  EXPECT_EQ(json["w"].get<std::uint64_t>(), 18446744073709551615ull);
  EXPECT_EQ(json["r"][1]["x"], nullptr);
}

TEST(jsonz_add, PositionDecidesWhereTheCommaGoes) {
  Buffer array(64, "[ ]");
  jsonz_addUInt32(array.end(), nullptr, 1);
  EXPECT_EQ(array.text(), "[ 1]");
  jsonz_addUInt32(array.end(), nullptr, 2);
  EXPECT_EQ(array.text(), "[ 1,2]");

  Buffer front(64, "[1,2]");
  jsonz_addUInt32(front.start - 4, nullptr, 0);  // at the opening bracket: first, comma after
  EXPECT_EQ(front.text(), "[0,1,2]");

  Buffer emptyFront(64, "{ \n}");
  jsonz_addBool(emptyFront.bytes.data(), "a", true);
  EXPECT_EQ(emptyFront.text(), "{\"a\":true \n}");

  Buffer middle(64, "[1,3]");
  jsonz_addUInt32(middle.bytes.data() + 2, nullptr, 2);  // at a comma: comma before
  EXPECT_EQ(middle.text(), "[1,2,3]");

  std::vector<char> bare(16, '\0');
  bare[0] = '\0';
  jsonz_initBuffer(bare.data(), bare.size(), "");
  jsonz_addUInt32(bare.data(), nullptr, 7);  // at the NUL: no comma
  EXPECT_STREQ(bare.data(), "7");
}

TEST(jsonz_add, EscapesControlBytesQuotesAndBackslashes) {
  Buffer buffer(128, "{}");
  jsonz_addString(buffer.start, "k\"\\", "\t\x01\b\f\n\r\x7f/\xc3\xa9");
  EXPECT_EQ(buffer.text(), "{\"k\\\"\\\\\":\"\\t\\u0001\\b\\f\\n\\r\\u007f/\xc3\xa9\"}");
  const auto json = parsed(buffer);
  EXPECT_EQ(json["k\"\\"].get<std::string>(), "\t\x01\b\f\n\r\x7f/\xc3\xa9");
  EXPECT_EQ(jsonz_escapedLength("\t\x01" "a"), 2u + 6u + 1u);
}

TEST(jsonz_add, ExactFitSucceedsAndOneByteMoreFailsUnchanged) {
  // {"a":1} needs 5 bytes of room, plus 1 for the comma of the second member.
  Buffer exact(2 + 5 + 2, "{}");
  EXPECT_NE(jsonz_addUInt32(exact.start, "a", 1), nullptr);
  EXPECT_EQ(exact.text(), R"({"a":1})");
  EXPECT_EQ(exact.bytes.back(), 'J');

  Buffer shortByOne(2 + 4 + 2, "{}");
  const std::vector<char> before = shortByOne.bytes;
  EXPECT_EQ(jsonz_addUInt32(shortByOne.start, "a", 1), nullptr);
  EXPECT_EQ(shortByOne.bytes, before);

  Buffer comma(7 + 6 + 2, "{\"a\":1}");
  EXPECT_NE(jsonz_addUInt32(comma.end(), "b", 2), nullptr);
  Buffer commaShort(7 + 5 + 2, "{\"a\":1}");
  EXPECT_EQ(jsonz_addUInt32(commaShort.end(), "b", 2), nullptr);
  EXPECT_EQ(commaShort.text(), "{\"a\":1}");
}

TEST(jsonz_add, NullPositionStaysNull) {
  EXPECT_EQ(jsonz_addUInt32(nullptr, "a", 1), nullptr);
  EXPECT_EQ(jsonz_endObject(nullptr), nullptr);
  const jsonz_growHandler none{nullptr, nullptr};
  EXPECT_EQ(jsonz_addString(nullptr, "a", "b", none), nullptr);
}

// A growth handler over a std::vector: doubles it and re-lays the buffer.
struct Growable {
  explicit Growable(const char* text) : bytes(8) { jsonz_initBuffer(bytes.data(), bytes.size(), text); }
  static char* grow(char* position, void* self) {
    auto& growable = *static_cast<Growable*>(self);
    ++growable.calls;
    const auto offset = position - growable.bytes.data();
    std::vector<char> larger(growable.bytes.size() * 2);
    std::memcpy(larger.data(), growable.bytes.data(), std::strlen(growable.bytes.data()) + 1);
    jsonz_initBuffer(larger.data(), larger.size(), nullptr);
    growable.bytes.swap(larger);
    return growable.bytes.data() + offset;
  }
  jsonz_growHandler handler() { return {&Growable::grow, this}; }
  char* end() { return bytes.data() + std::strlen(bytes.data()) - 1; }
  std::vector<char> bytes;
  int calls = 0;
};

TEST(jsonz_growHandler, NestedObjectsInAnArray) {
  Growable growable("[]");
  const jsonz_growHandler grow = growable.handler();
  char* inside = jsonz_addObject(growable.end(), nullptr, grow);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(*inside, '}');
  char* p = jsonz_addUInt32(inside, "sessionId", 12, grow);
  EXPECT_EQ(*p, '}');
  p = jsonz_addString(p, "name", "first", grow);
  p = jsonz_endObject(p);
  inside = jsonz_addObject(p, nullptr, grow);
  p = jsonz_endObject(jsonz_addUInt32(inside, "ticket", 3, grow));
  EXPECT_EQ(*p, ']');
  EXPECT_STREQ(growable.bytes.data(), R"([{"sessionId":12,"name":"first"},{"ticket":3}])");
  EXPECT_GT(growable.calls, 0);
  EXPECT_EQ(nlohmann::json::parse(growable.bytes.data()).size(), 2u);
}

TEST(jsonz_growHandler, StopsWhenTheCallbackGivesUp) {
  Buffer buffer(6, "{}");
  int calls = 0;
  const jsonz_growHandler refuse{[](char*, void* count) -> char* {
                                   ++*static_cast<int*>(count);
                                   return nullptr;
                                 },
                                 &calls};
  EXPECT_EQ(jsonz_addString(buffer.start, "key", "value", refuse), nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(buffer.text(), "{}");
  const jsonz_growHandler none{nullptr, nullptr};
  EXPECT_EQ(jsonz_addRaw(buffer.start, "key", "1", none), nullptr);
}

}  // namespace
