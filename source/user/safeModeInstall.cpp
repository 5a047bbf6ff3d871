// The safe-mode step of a firmware update: the installed safe-mode version
// from the version tool, and each SAFEMODE image written to a temporary
// file that the install tool reads, run through sudo.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "firmware/versionText.h"
#include "kestrel/kestrel.h"
#include "source/user/firmwareUpdateSteps.h"

namespace nKESTREL1400 {
namespace {

constexpr kSourceLocation kTemporaryFile{kUpdateFile, 905};
constexpr kSourceLocation kImageWrite{kUpdateFile, 912};
constexpr kSourceLocation kInstallFailed{kUpdateFile, 919};
constexpr kSourceLocation kRemoveFailed{kUpdateFile, 923};

constexpr char kVersionTool[] = "/usr/local/zecorp/bin/zesafemodeversion";
constexpr char kToolsDirectory[] = "/usr/local/zecorp/bin";
constexpr char kInstallTool[] = "zeinstallsafemode";
constexpr char kTemplate[] = "/tmp/safemodeXXXXXX";
constexpr char kSudo[] = "sudo --non-interactive ";
// The version tool prints one short line; more than this is not read.
constexpr std::size_t kVersionOutputLimit = 4096;

// The packed version the version tool prints; 0 when it cannot be run.
std::uint32_t installedSafeModeVersion() {
  FILE* tool = popen(kVersionTool, "r");
  if (tool == nullptr) return 0;
  char output[kVersionOutputLimit + 1] = {};
  std::size_t used = 0;
  while (used < kVersionOutputLimit) {
    const std::size_t got = std::fread(output + used, 1, kVersionOutputLimit - used, tool);
    if (got == 0) break;
    used += got;
  }
  pclose(tool);
  return nFirmware::parseVersionText(std::string_view(output, std::strlen(output)));
}

// Every byte through the descriptor mkstemp gave: short writes go on,
// interrupted ones are repeated.
bool writeAll(int descriptor, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// The image in a new temporary file named in `path`; on failure nothing
// is left behind.
bool writeTemporaryFile(const tFirmwareImage& image, char (&path)[sizeof kTemplate], tStatus& status) {
  std::memcpy(path, kTemplate, sizeof kTemplate);
  const int descriptor = mkstemp(path);
  if (descriptor == -1) {
    status.setCode(kestrelerr_ioError, kTemporaryFile);
    return false;
  }
  const bool written = writeAll(descriptor, image.data, image.size);
  const bool closed = close(descriptor) == 0;
  if (written && closed) return true;
  std::remove(path);
  status.setCode(kestrelerr_ioError, kImageWrite);
  return false;
}

void installOne(const tFirmwareImage& image, tStatus& status, bool& stop) {
  char path[sizeof kTemplate];
  if (!writeTemporaryFile(image, path, status)) {
    stop = true;
    return;
  }
  char command[sizeof kSudo + sizeof kToolsDirectory + sizeof kInstallTool + sizeof path + 8];
  std::snprintf(command, sizeof command, "%s%s/%s %s -f", kSudo, kToolsDirectory, kInstallTool, path);
  if (std::system(command) != 0) status.setCode(kestrelerr_installFailed, kInstallFailed);
  if (std::remove(path) != 0) status.setCode(kestrelerr_ioError, kRemoveFailed);
}

}  // namespace

void installSafeModeImages(const tFirmwareImage* images, std::int32_t force, tStatus& status) noexcept {
  if (status.isError()) return;
  struct stat tool {};
  // Without the version tool the system has no safe mode to update.
  if (stat(kVersionTool, &tool) != 0) return;
  for (const tFirmwareImage* image = images; image != nullptr; image = image->next) {
    if (std::strcmp(image->targetDevice, "SAFEMODE") != 0) continue;
    if (force == 0 && nFirmware::parseVersionText(image->version) <= installedSafeModeVersion()) return;
    bool stop = false;
    installOne(*image, status, stop);
    if (stop) return;
  }
}

}  // namespace nKESTREL1400
