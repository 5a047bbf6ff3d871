#include "sim/profile/boardFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace nKESTRELSIM {
namespace {

namespace fs = std::filesystem;

// Far beyond any board description, short of what a mistaken file could hold.
constexpr std::size_t kMaxBoardBytes = 4 * 1024 * 1024;

[[noreturn]] void refuse(const std::string& what) { throw std::invalid_argument("profile: board: " + what); }

bool isShippedName(const std::string& board) {
  return board.find('/') == std::string::npos && !board.ends_with(".json");
}

// Reads the whole file, refusing what is no regular file (a device, a FIFO)
// or too large to be a board.
std::string readBoardFile(const fs::path& path) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file == -1) refuse(path.string() + ": cannot read it (" + std::strerror(errno) + ")");
  struct stat status {};
  std::string text;
  const bool regular = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
  if (regular && static_cast<std::size_t>(status.st_size) <= kMaxBoardBytes) {
    text.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t got = ::read(file, text.data() + done, text.size() - done);
      if (got == -1 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    text.resize(done);
  }
  ::close(file);
  if (!regular) refuse(path.string() + ": not a regular file");
  if (static_cast<std::size_t>(status.st_size) > kMaxBoardBytes) refuse(path.string() + ": larger than a board description can be");
  return text;
}

// Where a parse stopped, as line and column of the text.
std::string position(const std::string& text, std::size_t byte) {
  const std::size_t end = std::min(byte == 0 ? 0 : byte - 1, text.size());
  const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n');
  const std::size_t lineStart = text.rfind('\n', end == 0 ? 0 : end - 1);
  const std::size_t column = lineStart == std::string::npos || end == 0 ? end + 1 : end - lineStart;
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

fs::path boardPath(const std::string& board, const fs::path& profileFolder) {
  if (isShippedName(board)) {
    if (board == "." || board == ".." || board.find('\0') != std::string::npos) refuse("\"" + board + "\" is no board name");
    const char* installed = std::getenv("KESTREL_SIM_BOARDS");
    const bool known = installed != nullptr && installed[0] != '\0';
    return fs::path(known ? installed : KESTREL_SIM_SMBIOS_BOARDS_DIR) / (board + ".json");
  }
  const fs::path relative(board);
  if (profileFolder.empty()) return relative;
  const bool escapes = relative.is_absolute() || board.find('\0') != std::string::npos ||
                       std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
  if (escapes) {
    refuse(board + ": not a file inside the profile's folder (a board file is named relative to the profile, "
                   "without \"..\")");
  }
  return profileFolder / relative;
}

nSMBIOS::tSmBiosBoard loadBoard(const std::string& board, const fs::path& profileFolder) {
  const fs::path path = boardPath(board, profileFolder);
  const std::string text = readBoardFile(path);
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& error) {
    refuse(path.string() + ": not JSON (" + position(text, error.byte) + ")");
  }
  try {
    return nSMBIOS::tSmBiosBoard::fromJson(document);
  } catch (const std::exception& error) {
    refuse(path.string() + ": " + error.what());
  }
}

}  // namespace nKESTRELSIM
