// Profiles are outside input: names that would leave the sandbox, unknown
// members and malformed files are refused with the member's path, and
// nothing of a refused profile is written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tProfile.h"

namespace {

using nKESTRELSIM::tProfile;
using nlohmann::json;

// The message of the refusal of `text`, or "" when it was accepted.
std::string refusal(const std::string& text) {
  try {
    tProfile::fromJson(json::parse(text));
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

TEST(ProfileSafety, NamesThatLeaveTheSandboxAreRefused) {
  const char* const refused[][2] = {
      {R"({"tools": {"../escaped": "#!/bin/sh\n"}})", "tools.../escaped"},
      {R"({"tools": {"sub/tool": "#!/bin/sh\n"}})", "tools.sub/tool"},
      {R"({"tools": {"..": "x"}})", "tools..."},
      {R"({"tools": {"": "x"}})", "tools.:"},
      {R"({"interfaces": [{"name": "hostController_hostController", "suffix": "../../x"}]})",
       "interfaces[0].suffix"},
      {R"({"interfaces": [{"name": "hostController_hostController", "suffix": "0/.."}]})",
       "interfaces[0].suffix"},
      {R"({"interfaces": [{"name": "a/b"}]})", "interfaces[0].name"},
      {R"({"interfaces": [{"name": "x", "driver": ".."}]})", "interfaces[0].driver"},
  };
  for (const auto& [text, member] : refused) {
    EXPECT_NE(refusal(text).find(std::string("profile: ") + member), std::string::npos)
        << text << " -> " << refusal(text);
  }
  EXPECT_EQ(refusal(R"({"tools": {"zesafemodeversion": "x", "ze.install-2": "y"},
                        "interfaces": [{"name": "n", "suffix": "0.1", "driver": "k_2"}]})"),
            "");
}

TEST(ProfileSafety, UnknownMembersAreRefusedWithTheirPath) {
  const char* const refused[][2] = {
      {R"({"boards": "default"})", "profile: boards: unknown member"},
      {R"({"interfaces": [{"name": "x"}, {"name": "y", "sufix": "1"}]})",
       "profile: interfaces[1].sufix: unknown member"},
      {R"({"faults": [{"request": 1, "errno": 5, "cont": 2}]})", "profile: faults[0].cont: unknown member"},
  };
  for (const auto& [text, message] : refused) EXPECT_EQ(refusal(text), message) << text;
}

TEST(ProfileSafety, MessagesNameEachMemberOnce) {
  EXPECT_EQ(refusal(R"({"board": 1})"), "profile: board: expected a text");
  EXPECT_EQ(refusal(R"({"topographyName": 1})"), "profile: topographyName: expected a text");
  EXPECT_EQ(refusal(R"({"interfaces": [{"name": "x", "suffix": 2}]})"),
            "profile: interfaces[0].suffix: expected a text");
}

TEST(ProfileSafety, NumbersOutOfRangeAreRefusedNotCut) {
  EXPECT_NE(refusal(R"({"faults": [{"request": 4294967297, "errno": 5}]})").find("faults[0].request"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"faults": [{"request": 1, "status": 4294967295}]})").find("faults[0].status"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"faults": [{"request": 1, "status": 18446744073709551615}]})").find("faults[0].status"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"interfaces": [{"name": "x", "attributes": {"0x1": 4294967296}}]})")
                .find("interfaces[0].attributes.0x1"),
            std::string::npos);
  EXPECT_EQ(refusal(R"({"faults": [{"request": 4294967295, "status": -2147483648}]})"), "");
}

TEST(ProfileSafety, ParseErrorsNameLineAndColumn) {
  const auto path = std::filesystem::temp_directory_path() / ("profile-" + std::to_string(getpid()) + ".json");
  std::ofstream(path) << "{\n  \"board\": \"default\",\n  oops\n}\n";
  try {
    tProfile::fromFile(path);
    ADD_FAILURE() << "accepted";
  } catch (const std::invalid_argument& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("profile: " + path.string() + ": line 3, column 3: ", 0), 0u) << message;
    EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
  }
  std::filesystem::remove(path);
}

}  // namespace
