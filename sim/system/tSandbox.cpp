#include "sim/system/tSandbox.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace nKESTRELSIM {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSimulatedPrefixes[] = {"/proc/driver/ze/", "/usr/local/zecorp/bin/", "/run/zesvc/",
                                              "/dev/zesim/"};
constexpr const char* kToolsDirectory = "/usr/local/zecorp/bin";
constexpr const char* kDeviceDirectory = "/dev/zesim/";
constexpr const char* kSmBiosDumpPath = "/run/zesvc/smbios/smbiosdmp";
constexpr const char* kSudoPrefix = "sudo --non-interactive ";
constexpr int kNodePages = 3;

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

void tSandbox::open(const std::string& root, bool createRoot) {
  if (root.empty()) {
    std::string pattern = (fs::temp_directory_path() / "kestrel-sim.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("kestrel-sim: cannot create a sandbox");
    root_ = pattern;
    ownsRoot_ = true;
  } else {
    root_ = root;
    ownsRoot_ = false;
    if (createRoot) fs::create_directories(root_);
  }
}

void tSandbox::close() {
  if (ownsRoot_ && !root_.empty()) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  root_.clear();
  ownsRoot_ = false;
}

std::string tSandbox::pathFor(const std::string& path) const {
  if (root_.empty()) return {};
  for (const char* prefix : kSimulatedPrefixes) {
    if (startsWith(path, prefix)) return root_ + path;
  }
  return {};
}

bool tSandbox::isDevicePath(const char* path) { return startsWith(path, kDeviceDirectory); }

void tSandbox::writeFile(const std::string& path, const void* data, std::size_t size) const {
  const fs::path file = root_ + path;
  fs::create_directories(file.parent_path());
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!stream) throw std::runtime_error("kestrel-sim: cannot write " + file.string());
}

// Page i of a device node holds the byte i, so a mapping shows its region.
void tSandbox::createDeviceNode(const std::string& path) const {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<char> bytes(page * kNodePages);
  for (int i = 0; i < kNodePages; ++i) std::memset(bytes.data() + page * static_cast<std::size_t>(i), i, page);
  writeFile(path, bytes.data(), bytes.size());
}

void tSandbox::createDirectory(const std::string& path) const { fs::create_directories(root_ + path); }

void tSandbox::installTool(const std::string& name, const std::string& script) const {
  const std::string path = std::string(kToolsDirectory) + "/" + name;
  writeFile(path, script.data(), script.size());
  fs::permissions(root_ + path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
}

void tSandbox::writeSmBiosDump(const void* data, std::size_t size) const { writeFile(kSmBiosDumpPath, data, size); }

std::string tSandbox::commandLine(const std::string& command) const {
  std::string result = startsWith(command, kSudoPrefix) ? command.substr(std::strlen(kSudoPrefix)) : command;
  const std::string directory = kToolsDirectory;
  for (std::size_t at = result.find(directory); at != std::string::npos;
       at = result.find(directory, at + root_.size() + directory.size())) {
    result.insert(at, root_);
  }
  return result;
}

void tSandbox::unrootMatches(glob_t* result, std::size_t first, int flags) const {
  const std::size_t offset = (flags & GLOB_DOOFFS) != 0 ? result->gl_offs : 0;
  for (std::size_t i = first; i < result->gl_pathc; ++i) {
    char* match = result->gl_pathv[offset + i];
    if (std::strncmp(match, root_.c_str(), root_.size()) == 0) {
      std::memmove(match, match + root_.size(), std::strlen(match) - root_.size() + 1);
    }
  }
}

}  // namespace nKESTRELSIM
