// Profiles are outside input: names that would leave the sandbox, unknown
// members and malformed files are refused with the member's path, and
// nothing of a refused profile is written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "sim/profile/tProfile.h"

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

TEST(ProfileSafety, MembersThatContradictEachOtherAreRefused) {
  EXPECT_NE(refusal(R"({"faults": [{"request": 1, "errno": 5, "status": -52031}]})").find("faults[0]: takes"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"firmware": {"BIOS": {"status": -1, "errno": 5}}})").find("firmware.BIOS: takes"),
            std::string::npos);
}

// The message of the refusal of a profile file's board, or "" when it was read.
std::string boardRefusal(const std::filesystem::path& folder, const std::string& board) {
  const auto profile = folder / "profile.json";
  std::ofstream(profile) << json{{"board", board}}.dump();
  try {
    tProfile::fromFile(profile).check();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

TEST(ProfileSafety, ABoardThatCannotBeUsedIsOneLineWithoutItsBytes) {
  const auto folder = std::filesystem::temp_directory_path() / ("boards-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "sub");
  std::filesystem::copy_file(std::string(KESTREL_SIM_SMBIOS_BOARDS_DIR) + "/default.json", folder / "sub" / "b.json");
  EXPECT_EQ(boardRefusal(folder, "sub/b.json"), "");
  EXPECT_EQ(boardRefusal(folder, "default"), "");
  std::ofstream(folder / "secret.json") << "\n  oops, a secret";
  ASSERT_EQ(mkfifo((folder / "fifo.json").c_str(), 0600), 0);
  const char* const refused[][2] = {
      {"/etc/passwd", "profile: board: /etc/passwd: not a file inside the profile's folder"},
      {"sub/../../x.json", "profile: board: sub/../../x.json: not a file inside the profile's folder"},
      {"missing.json", "missing.json: cannot read it (No such file or directory)"},
      {"./sub", "sub: not a regular file"},
      {"fifo.json", "fifo.json: not a regular file"},
      {"secret.json", "secret.json: not JSON (line 2, column 3)"},
  };
  for (const auto& [board, message] : refused) {
    const std::string refusedWith = boardRefusal(folder, board);
    EXPECT_NE(refusedWith.find(message), std::string::npos) << board << " -> " << refusedWith;
    EXPECT_EQ(refusedWith.find("secret"), refusedWith.find("secret.json")) << refusedWith;
    EXPECT_EQ(refusedWith.find('\n'), std::string::npos) << refusedWith;
  }
  std::filesystem::remove_all(folder);
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
