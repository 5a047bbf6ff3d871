#include "tools/kestrelctl/fileInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace kestrelctl {
namespace {

constexpr std::size_t kPiece = 1 << 20;

// Why a file that is not a regular one cannot be read as a file.
std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory";
  if (S_ISFIFO(mode)) return "it is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

std::string tooLarge(std::uint64_t maxBytes) { return "it is larger than " + sizeText(maxBytes) + ", the most this command takes"; }

class tDescriptor {
 public:
  explicit tDescriptor(int fd) : fd_(fd) {}
  ~tDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  tDescriptor(const tDescriptor&) = delete;
  tDescriptor& operator=(const tDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

tFileRead failed(std::string reason) { return {std::nullopt, std::move(reason)}; }

// Reads to the end (or the first NUL); a file that grows past `maxBytes`
// while it is read is refused.
tFileRead readPieces(int file, std::uint64_t maxBytes, bool untilNul, std::vector<std::uint8_t>& bytes) {
  for (;;) {
    const std::size_t before = bytes.size();
    bytes.resize(before + kPiece);
    const ssize_t count = read(file, bytes.data() + before, kPiece);
    if (count < 0 && errno == EINTR) {
      bytes.resize(before);
      continue;
    }
    if (count < 0) return failed(std::strerror(errno));
    bytes.resize(before + static_cast<std::size_t>(count));
    if (untilNul) {
      if (const void* nul = std::memchr(bytes.data() + before, 0, static_cast<std::size_t>(count))) {
        bytes.resize(static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - bytes.data()));
        break;
      }
    }
    if (bytes.size() > maxBytes) return failed(tooLarge(maxBytes));
    if (count == 0) break;
  }
  bytes.shrink_to_fit();
  return {std::move(bytes), ""};
}

}  // namespace

tFileRead readRegularFile(const std::string& path, std::uint64_t maxBytes, bool untilNul) {
  // Without O_NONBLOCK the open of a FIFO would wait for a writer.
  const tDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) return failed(std::strerror(errno));
  struct stat status {};
  if (fstat(file.get(), &status) != 0) return failed(std::strerror(errno));
  if (!S_ISREG(status.st_mode)) return failed(kindOf(status.st_mode));
  if (static_cast<std::uint64_t>(status.st_size) > maxBytes) return failed(tooLarge(maxBytes));
  try {
    std::vector<std::uint8_t> bytes;
    // A text cut at its first NUL may be far shorter than the file.
    if (!untilNul) bytes.reserve(static_cast<std::size_t>(status.st_size));
    tFileRead read = readPieces(file.get(), maxBytes, untilNul, bytes);
    read.fileBytes = static_cast<std::uint64_t>(status.st_size);
    return read;
  } catch (const std::bad_alloc&) {
    return failed("there is not enough memory to read its " + sizeText(static_cast<std::uint64_t>(status.st_size)));
  }
}

std::string sizeText(std::uint64_t bytes) {
  char text[32];
  if (bytes >= (1ull << 30)) {
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
  } else if (bytes >= (1ull << 20)) {
    std::snprintf(text, sizeof text, "%.0f MiB", static_cast<double>(bytes) / (1ull << 20));
  } else {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  }
  return text;
}

}  // namespace kestrelctl
