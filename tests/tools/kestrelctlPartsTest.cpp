// Parts of kestrelctl on their own: what reaches a terminal, the words of a
// shell line, the input of 'route shell', files read for the firmware
// commands, and the suggestion for a mistyped name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tools/kestrelctl/commandTree.h"
#include "tools/kestrelctl/fileInput.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/shellInput.h"

namespace {

namespace fs = std::filesystem;
using namespace kestrelctl;

TEST(KestrelctlText, NothingReachesTheTerminalThatActsOnIt) {
  EXPECT_EQ(printable("plain text, Müller, 東京, 🦅"), "plain text, Müller, 東京, 🦅");
  EXPECT_EQ(printable("a\x1b[31mb\tc\x7f"), "a\\x1b[31mb\\x09c\\x7f");
  EXPECT_EQ(printable("back\\slash"), "back\\\\slash");
  EXPECT_EQ(printable("M\xfcller \xc3"), "M\\xfcller \\xc3");  // not UTF-8, and cut short
  EXPECT_EQ(printable("\xed\xa0\x80 \xc0\xaf"), "\\xed\\xa0\\x80 \\xc0\\xaf");  // a surrogate, an overlong form
  // C1 controls (CSI U+009B) and bidirectional controls, byte by byte.
  EXPECT_EQ(printable("x\xc2\x9b" "1m"), "x\\xc2\\x9b1m");
  EXPECT_EQ(printable("txt.\xe2\x80\xaegnp"), "txt.\\xe2\\x80\\xaegnp");  // U+202E RIGHT-TO-LEFT OVERRIDE
  for (const char* control : {"\xd8\x9c", "\xe2\x80\x8e", "\xe2\x80\x8f", "\xe2\x80\xaa", "\xe2\x81\xa6", "\xe2\x81\xa9"}) {
    EXPECT_EQ(printable(control).find('\\'), 0u) << printable(control);
  }
  EXPECT_EQ(printable("\xe2\x80\x90"), "\xe2\x80\x90");  // U+2010 HYPHEN stays
}

TEST(KestrelctlText, ShellLinesSplitAsAShellSplitsThem) {
  std::string error;
  using tWords = std::vector<std::string>;
  EXPECT_EQ(*splitWords("  calculate --from PXI_Trig0:2\t--to x  ", error),
            (tWords{"calculate", "--from", "PXI_Trig0:2", "--to", "x"}));
  EXPECT_EQ(*splitWords(R"(a 'b c' "d e" f\ g 'h\' "")", error), (tWords{"a", "b c", "d e", "f g", "h\\", ""}));
  EXPECT_EQ(*splitWords("reserve last # then program", error), (tWords{"reserve", "last"}));
  EXPECT_EQ(*splitWords("a#b", error), (tWords{"a#b"}));
  EXPECT_TRUE(splitWords("# only a comment", error)->empty());
  EXPECT_FALSE(splitWords("path 'open", error));
  EXPECT_EQ(error, "a single quote is not closed");
}

TEST(KestrelctlText, TheNearestNameOnlyWhenItIsClose) {
  const std::vector<std::string> names{"status", "start", "stop", "keepalive", "watchdog"};
  EXPECT_EQ(nearestName("strat", names), "start");
  EXPECT_EQ(nearestName("wtachdog", names), "watchdog");
  EXPECT_EQ(nearestName("keep", names), "keepalive");
  EXPECT_EQ(nearestName("frobnicate", names), "");
  EXPECT_EQ(nearestName("", names), "");
}

// The input of 'route shell' from a pipe written by another thread.
class ShellInput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe(ends_), 0); }
  void TearDown() override {
    close(ends_[0]);
    if (ends_[1] >= 0) close(ends_[1]);
  }
  void write(const std::string& text) {
    writer_ = std::thread([this, text] {
      for (std::size_t done = 0; done < text.size();) {
        const ssize_t count = ::write(ends_[1], text.data() + done, text.size() - done);
        if (count <= 0) break;
        done += static_cast<std::size_t>(count);
      }
      close(ends_[1]);
      ends_[1] = -1;
    });
  }
  std::vector<std::pair<tShellInput::tEvent, std::string>> events() {
    tStopSignals signals;
    tShellInput input(ends_[0]);
    std::vector<std::pair<tShellInput::tEvent, std::string>> seen;
    for (auto event = input.next(signals, {}); event != tShellInput::tEvent::end; event = input.next(signals, {})) {
      seen.emplace_back(event, event == tShellInput::tEvent::line ? input.line() : std::to_string(input.lineNumber()));
    }
    writer_.join();
    return seen;
  }
  int ends_[2] = {-1, -1};
  std::thread writer_;
};

TEST_F(ShellInput, LinesTooLongAreRefusedAndTheRestStillRead) {
  using enum tShellInput::tEvent;
  const std::string huge(tShellInput::kMaxLine * 3, 'x');
  write("first\n" + huge + "\nthird\r\nlast without a line end");
  const auto seen = events();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], std::make_pair(line, std::string("first")));
  EXPECT_EQ(seen[1], std::make_pair(tooLong, std::string("2")));
  EXPECT_EQ(seen[2], std::make_pair(line, std::string("third\r")));
  EXPECT_EQ(seen[3], std::make_pair(line, std::string("last without a line end")));
}

class FileInput : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrelctl-files.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string file(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return (folder_ / name).string();
  }
  fs::path folder_;
};

TEST_F(FileInput, OnlyRegularFilesWithinTheLimit) {
  EXPECT_EQ(readRegularFile(folder_.string(), 100, true).reason, "it is a directory");
  ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(readRegularFile((folder_ / "fifo").string(), 100, true).reason, "it is a FIFO, not a regular file");
  EXPECT_EQ(readRegularFile("/dev/zero", 100, true).reason, "it is a device, not a regular file");
  EXPECT_EQ(readRegularFile((folder_ / "missing").string(), 100, true).reason, "No such file or directory");
  const auto tooLarge = readRegularFile(file("large", std::string(101, 'a')), 100, false);
  EXPECT_FALSE(tooLarge.bytes);
  EXPECT_EQ(tooLarge.reason, "it is larger than 100 bytes, the most this command takes");
  const auto exact = readRegularFile(file("exact", std::string(100, 'a')), 100, false);
  ASSERT_TRUE(exact.bytes);
  EXPECT_EQ(exact.bytes->size(), 100u);
}

TEST_F(FileInput, AnUpdateFileEndsAtItsFirstNul) {
  const auto cut = readRegularFile(file("cut", std::string("text\0more", 9)), 100, true);
  ASSERT_TRUE(cut.bytes);
  EXPECT_EQ(std::string(cut.bytes->begin(), cut.bytes->end()), "text");
  EXPECT_EQ(cut.fileBytes, 9u);
  const auto whole = readRegularFile(file("whole", std::string("text\0more", 9)), 100, false);
  EXPECT_EQ(whole.bytes->size(), 9u);
  // A sparse file: the zeros end the text at once, nothing more is read.
  const std::string sparse = (folder_ / "sparse").string();
  ASSERT_EQ(truncate(file("sparse", "").c_str(), 64 << 20), 0);
  const auto zeros = readRegularFile(sparse, kMaxUpdateFileBytes, true);
  ASSERT_TRUE(zeros.bytes);
  EXPECT_TRUE(zeros.bytes->empty());
  EXPECT_EQ(zeros.fileBytes, 64u << 20);
}

}  // namespace
