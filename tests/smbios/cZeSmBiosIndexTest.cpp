// The index answers every structure look-up exactly as the walk does: the
// same structure, or the same code, for every type and instance, on the real
// tables of the shared data, the simulated boards and malformed tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/cZeSmBiosIndex.h"
#include "platform/cZeSmBiosTable.h"
#include "sim/smbios/tSmBiosBoard.h"

namespace {

using namespace nKESTREL1400;
using namespace nKESTREL1400::nZESMBIOS_1_1;
namespace fs = std::filesystem;

// Every type, and instances up to a few past the last one, by walk and by index.
void expectIndexAgreesWithWalk(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  cZeSmBiosIndex index;
  ASSERT_TRUE(index.build(cZeSmBiosTable(bytes.data(), length))) << name;
  const cZeSmBiosTable walked(bytes.data(), length);
  const cZeSmBiosTable indexed(bytes.data(), length, &index);
  int found = 0;
  for (int type = 0; type < 256; ++type) {
    for (std::uint32_t instance = 0; instance < 64; ++instance) {
      tStatus byWalk;
      tStatus byIndex;
      const std::uint8_t* expected = walked.findStructure(static_cast<std::uint8_t>(type), instance, byWalk);
      const std::uint8_t* actual = indexed.findStructure(static_cast<std::uint8_t>(type), instance, byIndex);
      ASSERT_EQ(actual, expected) << name << " type " << type << " instance " << instance;
      ASSERT_EQ(byIndex.code, byWalk.code) << name << " type " << type << " instance " << instance;
      ASSERT_EQ(byIndex.line, byWalk.line) << name << " type " << type << " instance " << instance;
      if (expected == nullptr) break;
      ++found;
    }
  }
  EXPECT_GT(found, 0) << name;
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(cZeSmBiosIndex, AgreesWithTheWalkOnRealTables) {
  const fs::path folder = fs::path(KESTREL_SHARED_DATA_DIR) / "smbios";
  if (!fs::exists(folder)) GTEST_SKIP() << "no real SMBIOS tables in " << folder << " (outside data)";
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".table") continue;
    expectIndexAgreesWithWalk(readBytes(entry.path()), entry.path().filename().string());
    ++tables;
  }
  EXPECT_GE(tables, 4);
}

TEST(cZeSmBiosIndex, AgreesWithTheWalkOnSimulatedAndMalformedTables) {
  for (const char* board : {"default", "modelRefused", "unsupportedVersion"}) {
    const auto table = nKESTRELSIM::nSMBIOS::tSmBiosBoard::fromFile(
                           std::string(KESTREL_SIM_SMBIOS_BOARDS_DIR) + "/" + board + ".json").tableBytes();
    expectIndexAgreesWithWalk(table, board);
    // Cut short in the middle, and with a structure whose length is below its header.
    const std::vector<std::uint8_t> truncated(table.begin(), table.begin() + static_cast<long>(table.size() / 2));
    expectIndexAgreesWithWalk(truncated, std::string(board) + " cut in half");
    std::vector<std::uint8_t> broken = table;
    std::size_t at = 0;
    for (int i = 0; i < 5; ++i) {  // the sixth structure gets length 2
      at += broken[at + 1];
      while (broken[at] != 0 || broken[at + 1] != 0) ++at;
      at += 2;
    }
    broken[at + 1] = 2;
    expectIndexAgreesWithWalk(broken, std::string(board) + " with a short structure");
  }
}

TEST(cZeSmBiosIndex, AnEmptyOrHeaderlessTableHasNothingToFind) {
  const std::vector<std::uint8_t> tiny = {17, 4};
  cZeSmBiosIndex index;
  ASSERT_TRUE(index.build(cZeSmBiosTable(tiny.data(), 2)));
  EXPECT_TRUE(index.endedEarly());
  EXPECT_EQ(index.find(17, 0), -1);
}

}  // namespace
