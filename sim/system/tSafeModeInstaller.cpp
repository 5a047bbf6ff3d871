#include "sim/system/tSafeModeInstaller.h"

#include <fstream>
#include <iterator>

namespace nKESTRELSIM {
namespace {

constexpr std::string_view kPrefix = "sudo --non-interactive /usr/local/zecorp/bin/zeinstallsafemode ";
constexpr std::string_view kSuffix = " -f";

int exitedWith(int status) { return (status & 0xFF) << 8; }

}  // namespace

std::optional<std::string> tSafeModeInstaller::installedFile(const std::string& command) {
  if (!command.starts_with(kPrefix) || !command.ends_with(kSuffix)) return std::nullopt;
  const std::string file = command.substr(kPrefix.size(), command.size() - kPrefix.size() - kSuffix.size());
  // One absolute path without blanks or shell characters.
  if (file.empty() || file.front() != '/' || file.find_first_of(" \t\n;&|<>$`'\"\\*?()") != std::string::npos) {
    return std::nullopt;
  }
  return file;
}

int tSafeModeInstaller::run(const std::string& command) {
  const auto file = installedFile(command);
  if (!file) return exitedWith(kCommandNotFound);
  std::ifstream image(*file, std::ios::binary);
  if (!image) return exitedWith(kUnreadableImage);
  installed_.push_back(tInstalledSafeMode{
      *file, {std::istreambuf_iterator<char>(image), std::istreambuf_iterator<char>()}, exitStatus_});
  return exitedWith(exitStatus_);
}

void tSafeModeInstaller::forget() {
  installed_.clear();
  exitStatus_ = 0;
}

}  // namespace nKESTRELSIM
