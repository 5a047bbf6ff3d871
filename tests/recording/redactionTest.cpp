// --redact: the identification texts go, everything else of a table stays
// where it was, so that the library still reads it on replay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrel/kestrel.h"
#include "platform/driverWireFormat.h"
#include "sim/record/redaction.h"

namespace {

using nKESTRELSIM::tBytes;
namespace nWire = nKESTREL1400::nDriverWire;

void append(tBytes& table, std::initializer_list<int> bytes) {
  for (const int byte : bytes) table.push_back(static_cast<std::uint8_t>(byte));
}
void appendStrings(tBytes& table, std::initializer_list<const char*> strings) {
  for (const char* text : strings) table.insert(table.end(), text, text + std::char_traits<char>::length(text) + 1);
  table.push_back(0);
}

// A system structure (serial is string 4, UUID 1..16), a structure
// without strings, a baseboard (serial string 2, asset tag 3) and the end.
tBytes sampleTable() {
  tBytes table;
  append(table, {1, 0x19, 0x01, 0x00, 1, 2, 3, 4});
  for (int i = 1; i <= 16; ++i) table.push_back(static_cast<std::uint8_t>(i));
  append(table, {0x06});
  appendStrings(table, {"Maker", "Product", "V1.2", "SER123"});
  append(table, {32, 0x0B, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  append(table, {2, 0x09, 0x03, 0x00, 1, 0, 0, 2, 3});
  appendStrings(table, {"Board", "BSERIAL", "ASSET-9"});
  append(table, {127, 4, 0xFF, 0xFE, 0, 0});
  return table;
}

std::string text(const tBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Redaction, SmBiosIdentityStringsAndUuidGoTheRestStays) {
  tBytes table = sampleTable();
  const tBytes original = table;
  nKESTRELSIM::redactSmBiosTable(table);
  ASSERT_EQ(table.size(), original.size());
  const std::string redacted = text(table);
  EXPECT_EQ(redacted.find("SER123"), std::string::npos);
  EXPECT_NE(redacted.find(std::string("xxxxxx\0", 7)), std::string::npos);
  EXPECT_EQ(redacted.find("BSERIAL"), std::string::npos) << "found past a structure without strings";
  EXPECT_EQ(redacted.find("ASSET-9"), std::string::npos);
  for (const char* kept : {"Maker", "Product", "V1.2", "Board"}) EXPECT_NE(redacted.find(kept), std::string::npos) << kept;
  for (int i = 8; i < 24; ++i) EXPECT_EQ(table[i], 0) << "UUID byte " << i;
  EXPECT_EQ(table[table.size() - 6], 127) << "the end structure is where it was";
}

TEST(Redaction, MalformedTablesAreLeftWithoutReadingPastThem) {
  for (std::size_t cut = 0; cut < sampleTable().size(); ++cut) {
    tBytes table = sampleTable();
    table.resize(cut);
    nKESTRELSIM::redactSmBiosTable(table);  // never reads beyond the bytes it has
  }
  tBytes zeroLength = {1, 0, 0, 0, 'a', 0, 0};
  nKESTRELSIM::redactSmBiosTable(zeroLength);
  EXPECT_EQ(zeroLength[4], 'a');
}

TEST(Redaction, DumpFileIdentificationAndTable) {
  tBytes dump;
  appendStrings(dump, {"KC-8840 #4711"});
  dump.pop_back();  // one NUL ends the identification
  const tBytes table = sampleTable();
  append(dump, {static_cast<int>(table.size() & 0xFF), static_cast<int>(table.size() >> 8)});
  dump.insert(dump.end(), table.begin(), table.end());
  nKESTRELSIM::redactDriverFile("/run/zesvc/smbios/smbiosdmp", dump);
  EXPECT_EQ(text(dump).find("4711"), std::string::npos);
  EXPECT_EQ(text(dump).find("SER123"), std::string::npos);
  EXPECT_NE(text(dump).find("Maker"), std::string::npos);
  tBytes other = {'k', 'e', 'e', 'p'};
  nKESTRELSIM::redactDriverFile("/proc/driver/ze/kestrel/x/interfacePath", other);
  EXPECT_EQ(text(other), "keep");
}

nKESTRELSIM::tMemoryRegion attributeInput(std::uint32_t id) {
  nWire::tAttributeInput input{};
  input.attributeId = id;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&input);
  return {"input", 0, tBytes(bytes, bytes + sizeof input), std::nullopt};
}

TEST(Redaction, TextAttributeValuesGoNumbersStay) {
  const tBytes value = {'S', 'N', '4', '2', 0, 'z'};
  std::vector<nKESTRELSIM::tMemoryRegion> text = {attributeInput(KESTREL_ATTR_USER_TEXT),
                                                  {"buffer", 8, std::nullopt, value}};
  nKESTRELSIM::redactRequest(nWire::kGetAttribute, text);
  EXPECT_EQ(*text[1].after, (tBytes{'x', 'x', 'x', 'x', 0, 'z'}));
  std::vector<nKESTRELSIM::tMemoryRegion> number = {attributeInput(KESTREL_WATCHDOG_ATTR_TIMEOUT),
                                                    {"buffer", 8, tBytes{1, 2, 3, 4}, std::nullopt}};
  nKESTRELSIM::redactRequest(nWire::kSetAttribute, number);
  EXPECT_EQ(*number[1].before, (tBytes{1, 2, 3, 4}));
}

}  // namespace
