// Runs the reader over the JSON parsing corpus in the shared data directory:
// y_ files must be accepted, n_ files rejected (apart from the exceptions
// listed below), i_ files may go either way; none may crash or hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "json/jsonReader.h"

namespace {

namespace fs = std::filesystem;

// n_ files that this reader accepts on purpose, each with its reason.
const std::map<std::string, std::string> kAcceptedOnPurpose = {
    // The number grammar is lenient: leading zeros, a bare '-', a '.' with
    // no digits on either side of it and an exponent sign without digits are
    // numbers.
    {"n_number_-01.json", "leading zero"},
    {"n_number_neg_int_starting_with_zero.json", "leading zero"},
    {"n_number_with_leading_zero.json", "leading zero"},
    {"n_number_2.e+3.json", "fraction without digits"},
    {"n_number_2.e-3.json", "fraction without digits"},
    {"n_number_2.e3.json", "fraction without digits"},
    {"n_number_real_without_fractional_part.json", "fraction without digits"},
    {"n_number_0.e1.json", "fraction without digits"},
    {"n_number_-2..json", "fraction without digits"},
    {"n_number_neg_real_without_int_part.json", "no digits before the fraction"},
    {"n_number_0_capital_E+.json", "exponent sign without digits"},
    {"n_number_0e+.json", "exponent sign without digits"},
    {"n_number_1.0e+.json", "exponent sign without digits"},
    {"n_number_1.0e-.json", "exponent sign without digits"},
    {"n_number_9.e+.json", "fraction without digits, exponent sign without digits"},
    {"n_number_0.3e+.json", "exponent sign without digits"},
    {"n_array_just_minus.json", "a bare '-' is a number"},
    // The text ends at its first NUL byte; what follows it is not read.
    {"n_multidigit_number_then_00.json", "the NUL after 123 ends the text"},
};

bool acceptsWhole(const std::vector<char>& bytes) {
  const char* text = bytes.data();
  const char* end = jsonz_parse(text, nullptr);
  if (end == nullptr) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  return *end == 0;
}

std::vector<char> readNulTerminated(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes.push_back(0);
  return bytes;
}

TEST(JsonConformance, ParsingCorpus) {
  const fs::path corpus = fs::path(KESTREL_SHARED_DATA_DIR) / "jsontestsuite" / "test_parsing";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "JSON parsing corpus not found at " << corpus;

  std::set<std::string> unusedExceptions;
  for (const auto& [name, reason] : kAcceptedOnPurpose) unusedExceptions.insert(name);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 2 || name[1] != '_') continue;
    const std::vector<char> bytes = readNulTerminated(entry.path());
    const bool accepted = acceptsWhole(bytes);
    // The other validating operations must survive every file as well.
    if (jsonz_containerEnd(bytes.data()) != nullptr) {
      EXPECT_NE(jsonz_parse(bytes.data(), nullptr), nullptr) << name;
    }
    jsonz_findMember(bytes.data(), "a");
    ++files;
    if (name[0] == 'y') {
      EXPECT_TRUE(accepted) << name;
    } else if (name[0] == 'n' && accepted) {
      EXPECT_EQ(kAcceptedOnPurpose.count(name), 1U) << name << " accepted";
      unusedExceptions.erase(name);
    }
  }
  EXPECT_GT(files, 0);
  for (const auto& name : unusedExceptions) ADD_FAILURE() << name << " is listed as accepted but was rejected";
}

}  // namespace
