// kestrelctl firmware as a user runs it: files packed and inspected without
// a controller, updates under kestrel-sim.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "programRun.h"

namespace {

namespace fs = std::filesystem;

using kestrelTest::runShell;
using kestrelTest::tProgramRun;

// Standard output and standard error together; runShell keeps them apart.
tProgramRun run(const std::string& command) {
  return runShell(command, kestrelTest::tErrorOutput::kWithOutput);
}

std::string underSim(const std::string& profile, const std::string& arguments, const std::string& launcherOptions = "") {
  return std::string(KESTREL_SIM_LAUNCHER) + " " + launcherOptions + " --profile " + KESTREL_SIM_PROFILES + "/" +
         profile + ".json -- " + KESTRELCTL + " " + arguments;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// "ulimit -v KIB; ": a limit on the memory of the command after it. The
// address sanitizer reserves its shadow memory beyond any such limit, so
// under it the commands run without one (the time limit still holds).
std::string memoryLimit(unsigned kib) {
#if defined(__SANITIZE_ADDRESS__)
  (void)kib;
  return "";
#else
  return "ulimit -v " + std::to_string(kib) + "; ";
#endif
}

class KestrelctlFirmware : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrelctl-firmware.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }
  std::string writeImage(const std::string& name, std::size_t size) const {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 251);
    std::ofstream(path(name), std::ios::binary) << bytes;
    return bytes;
  }
  tProgramRun pack(const std::string& target, const std::string& version, const std::string& images,
               const std::string& output) const {
    return run(std::string(KESTRELCTL) + " firmware pack --target " + target + " --version " + version + " " + images +
               " -o " + path(output));
  }

  fs::path directory_;
};

TEST_F(KestrelctlFirmware, PackedFilesInspectAsTheLibraryReadsThem) {
  writeImage("a.bin", 5000);
  writeImage("b.bin", 1);
  ASSERT_EQ(pack("BIOS", "1.5.0f0", path("a.bin") + " " + path("b.bin"), "bios.fw").exitCode, 0);
  const tProgramRun inspect = runShell(std::string(KESTRELCTL) + " --json firmware inspect " + path("bios.fw"));
  ASSERT_EQ(inspect.exitCode, 0) << inspect.output;
  const auto document = nlohmann::json::parse(inspect.output);
  EXPECT_EQ(document["acceptable"], true);
  ASSERT_EQ(document["sections"].size(), 2u);
  EXPECT_EQ(document["sections"][0]["byteCount"], 5000);
  EXPECT_EQ(document["sections"][1]["target"], "BIOS");
  // BIOS images install last section first.
  EXPECT_EQ(document["installOrder"][0], document["sections"][1]["offset"]);
  // Rows alone for scripts: no summary, no heading.
  const tProgramRun rows = run(std::string(KESTRELCTL) + " firmware inspect --no-headings " + path("bios.fw"));
  EXPECT_EQ(rows.output.rfind("  0 ", 0), 0u) << rows.output;
  EXPECT_EQ(std::count(rows.output.begin(), rows.output.end(), '\n'), 2) << rows.output;

  // One changed payload character: refused, with the reason.
  std::ifstream in(path("bios.fw"), std::ios::binary);
  std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto payload = file.find("\r\n\r\n") + 4;
  file[payload] = file[payload] == 'A' ? 'B' : 'A';
  std::ofstream(path("bad.fw"), std::ios::binary) << file;
  const tProgramRun bad = run(std::string(KESTRELCTL) + " firmware inspect " + path("bad.fw"));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(contains(bad.output, "kestrelerr_invalidImage")) << bad.output;
  EXPECT_TRUE(contains(bad.output, "CRC")) << bad.output;
}

// Whatever the file, one line that says why, and an end: no abort, no
// endless read, no memory grown with the input.
TEST_F(KestrelctlFirmware, AnyFileIsHandled) {
  fs::create_directory(path("folder"));
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  std::ofstream(path("empty.fw"));
  const std::string commands[] = {"firmware inspect %", "firmware update %",
                                  "firmware pack --target BIOS --version 1.0.0f0 % -o " + path("o.fw")};
  struct tInput {
    std::string file;
    const char* reason;
  };
  const tInput inputs[] = {{path("folder"), "it is a directory"},
                           {path("fifo"), "it is a FIFO, not a regular file"},
                           {"/dev/zero", "it is a device, not a regular file"}};
  for (const auto& command : commands) {
    for (const auto& input : inputs) {
      std::string arguments = command;
      arguments.replace(arguments.find('%'), 1, input.file);
      // A memory limit far below what reading /dev/zero would take, and a time limit.
      const tProgramRun refused = run(memoryLimit(1000000) + "timeout 20 " + underSim("default", arguments));
      EXPECT_EQ(refused.exitCode, 1) << arguments << "\n" << refused.output;
      EXPECT_TRUE(contains(refused.output, "cannot read")) << arguments << "\n" << refused.output;
      EXPECT_TRUE(contains(refused.output, input.reason)) << arguments << "\n" << refused.output;
      EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 1) << refused.output;
    }
  }
  // A large sparse file is refused before it is read; 400 MiB of zeros end at once.
  ASSERT_EQ(truncate((std::ofstream(path("huge.fw")), path("huge.fw")).c_str(), 2ll << 30), 0);
  const tProgramRun huge = run("timeout 5 " + std::string(KESTRELCTL) + " firmware inspect " + path("huge.fw"));
  EXPECT_EQ(huge.exitCode, 1);
  EXPECT_TRUE(contains(huge.output, "it is larger than 512 MiB")) << huge.output;
  ASSERT_EQ(truncate((std::ofstream(path("zeros.fw")), path("zeros.fw")).c_str(), 400ll << 20), 0);
  const tProgramRun zeros = run(memoryLimit(300000) + std::string(KESTRELCTL) + " firmware inspect " + path("zeros.fw"));
  EXPECT_EQ(zeros.exitCode, 1);
  EXPECT_TRUE(contains(zeros.output, "starts with a NUL byte")) << zeros.output;
}

// update gives inspect's verdict and names the cause.
TEST_F(KestrelctlFirmware, UpdateSaysWhyNothingWasInstalled) {
  std::ofstream(path("empty.fw"));
  std::string noise(1 << 20, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(1 + (i * 7919) % 255);
  std::ofstream(path("noise.fw"), std::ios::binary) << noise;
  struct tCase {
    std::string file;
    const char* says;
  };
  const tCase cases[] = {{path("empty.fw"), "is empty: an update file holds at least one firmware section"},
                         {path("noise.fw"), "holds no firmware section"}};
  for (const auto& test : cases) {
    const tProgramRun inspect = run(std::string(KESTRELCTL) + " firmware inspect " + test.file);
    const tProgramRun update = run(underSim("default", "firmware update " + test.file));
    EXPECT_EQ(inspect.exitCode, 1) << inspect.output;
    EXPECT_EQ(update.exitCode, 1) << update.output;
    EXPECT_TRUE(contains(inspect.output, test.says)) << inspect.output;
    EXPECT_TRUE(contains(update.output, test.says)) << update.output;
    EXPECT_FALSE(contains(update.output, "null pointer")) << update.output;
  }
  // A companion image that verifies, on a board without the companion chip.
  writeImage("marten.bin", 100);
  ASSERT_EQ(pack("MARTEN", "9.0.0f0", path("marten.bin"), "marten.fw").exitCode, 0);
  EXPECT_TRUE(contains(run(std::string(KESTRELCTL) + " firmware inspect " + path("marten.fw")).output, "verifies"));
  const tProgramRun marten = run(underSim("noCompanion", "firmware update " + path("marten.fw")));
  EXPECT_EQ(marten.exitCode, 1);
  EXPECT_TRUE(contains(marten.output, "this controller has no companion chip")) << marten.output;
  EXPECT_FALSE(contains(marten.output, "malformed")) << marten.output;
}

TEST_F(KestrelctlFirmware, PackNeverLosesAnImage) {
  const std::string image = writeImage("bios.bin", 500);
  const tProgramRun self = pack("BIOS", "1.5.0f0", path("bios.bin"), "bios.bin");
  EXPECT_EQ(self.exitCode, 2);
  EXPECT_TRUE(contains(self.output, "is also an image to pack")) << self.output;
  std::ifstream kept(path("bios.bin"), std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()) == image);

  std::ofstream(path("empty.bin"));
  const tProgramRun empty = pack("BIOS", "1.5.0f0", path("empty.bin"), "empty.fw");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_TRUE(contains(empty.output, "is empty: there is nothing to pack")) << empty.output;
  EXPECT_FALSE(fs::exists(path("empty.fw")));

  const tProgramRun nowhere = run(std::string(KESTRELCTL) + " firmware pack --target BIOS --version 1.5.0f0 " +
                              path("bios.bin") + " -o /nonexistent/x.fw");
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_TRUE(contains(nowhere.output, "cannot write /nonexistent/x.fw: No such file or directory")) << nowhere.output;
  const tProgramRun full = run(std::string(KESTRELCTL) + " firmware pack --target BIOS --version 1.5.0f0 " +
                           path("bios.bin") + " -o /dev/full");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_TRUE(contains(full.output, "No space left on device")) << full.output;
}

TEST_F(KestrelctlFirmware, UsageAndInputErrors) {
  writeImage("a.bin", 10);
  EXPECT_EQ(pack("BIOS", "1.5", path("a.bin"), "x.fw").exitCode, 2);
  EXPECT_EQ(pack("bios", "1.5.0f0", path("a.bin"), "x.fw").exitCode, 2);
  const tProgramRun missing = pack("BIOS", "1.5.0f0", path("none.bin"), "x.fw");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(contains(missing.output, "kestrelctl: cannot read the image")) << missing.output;
  EXPECT_EQ(run(std::string(KESTRELCTL) + " firmware inspect " + path("none.fw")).exitCode, 1);
  std::ofstream(path("empty.fw")) << "no sections";
  EXPECT_EQ(run(std::string(KESTRELCTL) + " firmware inspect " + path("empty.fw")).exitCode, 1);
}

// The documented round trip: the images the simulated controller received
// are the bytes that were packed.
TEST_F(KestrelctlFirmware, APackedFileInstallsOnTheSimulatedController) {
  const std::string bios = writeImage("bios.bin", 70000);
  const std::string safe = writeImage("safe.bin", 3000);
  ASSERT_EQ(pack("BIOS", "1.5.0f0", path("bios.bin"), "bios.fw").exitCode, 0);
  ASSERT_EQ(pack("SAFEMODE", "1.1.0f0", path("safe.bin"), "safe.fw").exitCode, 0);
  std::ofstream(path("both.fw"), std::ios::binary)
      << std::ifstream(path("safe.fw"), std::ios::binary).rdbuf() << std::ifstream(path("bios.fw"), std::ios::binary).rdbuf();
  const tProgramRun update = run(underSim("safeMode", "firmware update " + path("both.fw"), "--keep-sandbox"));
  EXPECT_EQ(update.exitCode, 0) << update.output;
  EXPECT_TRUE(contains(update.output, "BIOS      1.5.0f0  70000  installed")) << update.output;
  EXPECT_TRUE(contains(update.output, "SAFEMODE  1.1.0f0  3000   installed")) << update.output;
  const auto kept = update.output.find("sandbox kept in ");
  ASSERT_NE(kept, std::string::npos) << update.output;
  const std::string sandbox = update.output.substr(kept + 16, update.output.find('\n', kept) - kept - 16);
  const auto received = [&](const char* name) {
    std::ifstream in(sandbox + "/received/" + name, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  };
  EXPECT_TRUE(received("BIOS-1.bin") == bios);
  EXPECT_TRUE(received("SAFEMODE-1.bin") == safe);
  fs::remove_all(sandbox);
}

TEST_F(KestrelctlFirmware, ImagesThatAreNotNewerAreSkippedUnlessForced) {
  writeImage("bios.bin", 100);
  ASSERT_EQ(pack("BIOS", "1.4.0f2", path("bios.bin"), "same.fw").exitCode, 0);
  const tProgramRun skipped = run(underSim("safeMode", "firmware update " + path("same.fw")));
  EXPECT_EQ(skipped.exitCode, 0) << skipped.output;
  EXPECT_TRUE(contains(skipped.output, "skipped: a BIOS image is not newer than 1.4.0f2")) << skipped.output;
  EXPECT_FALSE(contains(skipped.output, "kestrel-sim: BIOS image")) << skipped.output;
  const tProgramRun forced = run(underSim("safeMode", "firmware update --force " + path("same.fw")));
  EXPECT_EQ(forced.exitCode, 0) << forced.output;
  EXPECT_TRUE(contains(forced.output, "kestrel-sim: BIOS image 1 installed (100 bytes)")) << forced.output;
}

TEST_F(KestrelctlFirmware, StatusAndRefusedUpdatesAsJson) {
  const tProgramRun status = runShell(underSim("safeMode", "--json firmware status"));
  ASSERT_EQ(status.exitCode, 0) << status.output;
  const auto document = nlohmann::json::parse(status.output);
  EXPECT_EQ(document["biosVersion"], "1.4.0f2");
  EXPECT_EQ(document["companionFirmwareVersion"], "1.2.0f3");
  EXPECT_EQ(document["companionBiosVersionRecord"], "1.4.0f2");
  EXPECT_EQ(document["safeModeVersion"], "1.0.0f0");
  EXPECT_EQ(document["updateAllowed"], true);

  writeImage("bios.bin", 100);
  ASSERT_EQ(pack("BIOS", "9.0.0f0", path("bios.bin"), "bios.fw").exitCode, 0);
  const tProgramRun locked = runShell(underSim("updateLocked", "--json firmware update " + path("bios.fw")));
  EXPECT_EQ(locked.exitCode, 1);
  const auto refusal = nlohmann::json::parse(locked.output)["error"];
  EXPECT_EQ(refusal["code"], -26934);
  EXPECT_EQ(refusal["name"], "kestrelerr_attributeNotSupported");
  const tProgramRun text = run(underSim("updateLocked", "firmware update " + path("bios.fw")));
  EXPECT_TRUE(contains(text.output, "kestrelctl: update the firmware: kestrelerr_attributeNotSupported (-26934)"))
      << text.output;
  EXPECT_TRUE(contains(run(underSim("updateLocked", "firmware status")).output, "not allowed by the board"));
}

}  // namespace
