#include "dmidecodeDump.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "programRun.h"

namespace nKESTREL1400::nZESMBIOS_1_1 {
namespace {

constexpr std::size_t kTableOffset = 0x20;
constexpr std::size_t kEntryPointLength = 0x18;

// "\t\t00 1A FF" into bytes; false when the line is not all hex pairs.
bool hexLine(const std::string& line, std::vector<std::uint8_t>& bytes) {
  std::istringstream words(line);
  std::string word;
  std::vector<std::uint8_t> parsed;
  while (words >> word) {
    if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
        !std::isxdigit(static_cast<unsigned char>(word[1]))) {
      return false;
    }
    parsed.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  }
  bytes.insert(bytes.end(), parsed.begin(), parsed.end());
  return !parsed.empty();
}

void appendString(tDecodedStructure& structure, std::vector<std::uint8_t>& pending) {
  pending.pop_back();  // its NUL
  structure.strings.emplace_back(pending.begin(), pending.end());
  pending.clear();
}

}  // namespace

std::vector<tDecodedStructure> parseDmidecodeOutput(std::istream& output) {
  enum class tSection { kNone, kData, kStrings } section = tSection::kNone;
  std::vector<tDecodedStructure> structures;
  std::vector<std::uint8_t> pending;
  bool skipText = false;  // each string's hex lines are followed by its text
  for (std::string line; std::getline(output, line);) {
    if (line.rfind("Handle 0x", 0) == 0) {
      structures.emplace_back();
      section = tSection::kNone;
    } else if (structures.empty() || line.empty()) {
      section = tSection::kNone;
    } else if (line == "\tHeader and Data:") {
      section = tSection::kData;
    } else if (line == "\tStrings:") {
      section = tSection::kStrings;
      pending.clear();
      skipText = false;
    } else if (section == tSection::kData) {
      hexLine(line, structures.back().formatted);
    } else if (section == tSection::kStrings) {
      if (skipText) {
        skipText = false;
      } else if (hexLine(line, pending) && pending.back() == 0) {
        appendString(structures.back(), pending);
        skipText = true;
      }
    }
  }
  return structures;
}

std::vector<std::uint8_t> dmidecodeDumpOf(const std::vector<std::uint8_t>& table) {
  std::vector<std::uint8_t> dump(kTableOffset, 0);
  const char anchor[] = "_SM3_";
  for (std::size_t i = 0; i < 5; ++i) dump[i] = static_cast<std::uint8_t>(anchor[i]);
  dump[6] = kEntryPointLength;
  dump[7] = 3;   // version 3.2.0
  dump[8] = 2;
  dump[10] = 1;  // entry point revision
  for (std::size_t i = 0; i < 4; ++i) dump[12 + i] = static_cast<std::uint8_t>(table.size() >> (8 * i));
  dump[16] = kTableOffset;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kEntryPointLength; ++i) sum = static_cast<std::uint8_t>(sum + dump[i]);
  dump[5] = static_cast<std::uint8_t>(-sum);
  dump.insert(dump.end(), table.begin(), table.end());
  return dump;
}

std::optional<std::string> runDmidecode(const std::vector<std::uint8_t>& table, const std::string& scratchPath) {
  std::string program;
  for (const char* candidate : {"/usr/sbin/dmidecode", "/sbin/dmidecode", "/usr/bin/dmidecode"}) {
    if (std::filesystem::exists(candidate)) {
      program = candidate;
      break;
    }
  }
  if (program.empty()) return std::nullopt;
  const std::vector<std::uint8_t> dump = dmidecodeDumpOf(table);
  std::ofstream(scratchPath, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(dump.data()), static_cast<std::streamsize>(dump.size()));
  const kestrelTest::tProgramRun dmidecode = kestrelTest::runShell(program + " --from-dump '" + scratchPath + "' -u");
  std::filesystem::remove(scratchPath);
  if (dmidecode.exitCode < 0) return std::nullopt;
  return dmidecode.output;
}

}  // namespace nKESTREL1400::nZESMBIOS_1_1
