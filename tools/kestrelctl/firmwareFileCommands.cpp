// kestrelctl firmware inspect and pack: update files without a controller.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <kestrel/kestrel_status.h>
#include <nlohmann/json.hpp>

#include "firmware/firmwareFileWriter.h"
#include "firmware/versionText.h"
#include "tools/kestrelctl/fileInput.h"
#include "tools/kestrelctl/firmwareCommands.h"
#include "tools/kestrelctl/firmwareFileReport.h"
#include "tools/kestrelctl/output.h"
#include "tools/kestrelctl/statusMessage.h"
#include "tools/kestrelctl/tableText.h"

namespace kestrelctl {
namespace {

constexpr const char* kTargets[] = {"BIOS", "MARTEN", "SAFEMODE"};

void printSections(const tFileReport& report) {
  tTableText table({"OFFSET", "TARGET", "VERSION", "BYTES", "CRC", "CHECK"});
  for (const auto& section : report.sections) {
    table.addRow({std::to_string(section.offset), section.target, section.version, std::to_string(section.byteCount),
                  hex32(section.crc), section.verifies() ? "verifies" : kestrelStatusName(section.code)});
  }
  table.print(outputOptions().headings, 2);
}

// Same device and inode: the output would overwrite one of the images.
bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

std::string writeAdvice(int error) {
  switch (error) {
    case ENOENT: return "Does the directory exist?";
    case EACCES:
    case EPERM: return "Check the permissions of the file and its directory.";
    case ENOSPC:
    case EDQUOT: return "Free some space, or write the file elsewhere.";
    default: return "";
  }
}

// Writes all of `text` to `fd`; 0 or the errno of the failure.
int writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = write(fd, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return errno;
    done += static_cast<std::size_t>(count);
  }
  return 0;
}

// A regular file (or a new one) is replaced whole: the text goes to a new
// file beside it that is renamed over it, so a failed write leaves the old
// file as it was. Anything else (/dev/null, a FIFO) is written directly.
int writeOutput(const std::string& path, const std::string& text) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    int error = writeAll(fd, text);
    if (close(fd) != 0 && error == 0) error = errno;
    return error;
  }
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  const mode_t mask = umask(0);
  umask(mask);
  int error = fchmod(fd, 0666 & ~mask) == 0 ? writeAll(fd, text) : errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

int checkPackRequest(const tFirmwareRequest& request) {
  bool knownTarget = false;
  for (const char* target : kTargets) knownTarget = knownTarget || request.target == target;
  if (!knownTarget) {
    return printUsageError("--target '" + request.target + "' is not a target: give BIOS, MARTEN or SAFEMODE",
                           "Targets are written in capitals, as update files name them.");
  }
  if (nKESTREL1400::nFirmware::parseVersionText(request.version) == 0) {
    return printUsageError("'" + request.version + "' is not a firmware version such as 1.5.0f2 (major.minor.update, "
                           "a phase letter d, a, b or f, and a build number)");
  }
  for (const auto& image : request.images) {
    if (sameFile(image, request.file)) {
      return printUsageError("the output " + request.file + " is also an image to pack; writing it would destroy the "
                             "image", "Choose another output file.");
    }
  }
  return kSuccess;
}

// The images' bytes, each read whole; nothing after a failure, which is
// reported.
std::optional<std::vector<std::vector<std::uint8_t>>> readImages(const std::vector<std::string>& paths) {
  std::vector<std::vector<std::uint8_t>> contents;
  for (const auto& path : paths) {
    auto read = readRegularFile(path, kMaxImageBytes, false);
    if (!read.bytes) {
      printProblem("pack", "cannot read the image " + path + ": " + read.reason,
                   read.reason.starts_with("it is larger") ? "The driver refuses images over 256 MiB." : "");
      return std::nullopt;
    }
    if (read.bytes->empty()) {
      printProblem("pack", "the image " + path + " is empty: there is nothing to pack");
      return std::nullopt;
    }
    contents.push_back(std::move(*read.bytes));
  }
  return contents;
}

}  // namespace

std::optional<tUpdateFileText> readUpdateFileText(const std::string& path, const std::string& operation) {
  auto read = readRegularFile(path, kMaxUpdateFileBytes, true);
  if (!read.bytes) {
    printProblem(operation, "cannot read " + path + ": " + read.reason,
                 read.reason.starts_with("it is larger") ? "The driver refuses images over 256 MiB, so an update "
                                                           "file over 512 MiB cannot carry one it takes."
                                                         : "");
    return std::nullopt;
  }
  return tUpdateFileText{std::move(*read.bytes), read.fileBytes};
}

int refuseUpdateFile(const std::string& operation, const std::string& path, const tUpdateFileText& text,
                     const tFileReport& verdict, const nlohmann::json& extra) {
  tProblem problem;
  problem.name = "failure";
  problem.meaning = "the operation failed";
  problem.operation = operation;
  problem.extra = extra;
  problem.hint = "Update files are made with 'kestrelctl firmware pack'; nothing was installed.";
  if (text.fileBytes == 0) {
    problem.message = path + " is empty: an update file holds at least one firmware section";
  } else if (text.bytes.empty()) {
    problem.message = path + " starts with a NUL byte, where an update file's text ends: it holds no firmware section";
  } else if (verdict.sections.empty()) {
    problem.message = path + " holds no firmware section (no \"HeaderVersion::\" line): an update with it installs "
                             "nothing";
  }
  for (const auto& section : verdict.sections) {
    if (section.verifies()) continue;
    problem.code = section.code;
    problem.name = kestrelStatusName(section.code);
    problem.meaning = kestrelStatusMeaning(section.code);
    problem.message = "the section at byte " + std::to_string(section.offset) + " of " + path + " is refused: " +
                      refusalText(section);
    problem.hint = "'kestrelctl firmware inspect " + path + "' lists every section; nothing was installed.";
    break;
  }
  return report(problem, kFailure);
}

int runFirmwareInspect(const tFirmwareRequest& request) {
  const auto text = readUpdateFileText(request.file, "inspect");
  if (!text) return kFailure;
  const tFileReport verdict = readUpdateFile(text->bytes);
  const nlohmann::json document = toJson(request.file, verdict);
  if (!outputOptions().json) {
    // The summary line heads the table: --no-headings leaves the rows alone.
    if (outputOptions().headings) {
      std::printf("%s: %zu section(s)\n", printable(request.file).c_str(), verdict.sections.size());
    }
    if (!verdict.sections.empty()) printSections(verdict);
  }
  if (!verdict.acceptable()) return refuseUpdateFile("inspect", request.file, *text, verdict, {{"inspection", document}});
  if (outputOptions().json) setJsonResult(document);
  return kSuccess;
}

int runFirmwarePack(const tFirmwareRequest& request) {
  if (const int checked = checkPackRequest(request); checked != kSuccess) return checked;
  const auto contents = readImages(request.images);
  if (!contents) return kFailure;
  std::vector<nKESTREL1400::nFirmware::tPackedImage> images;
  for (const auto& bytes : *contents) images.push_back({request.target, request.version, bytes});
  const std::string file = nKESTREL1400::nFirmware::packFirmwareFile(images);
  if (const int error = writeOutput(request.file, file); error != 0) {
    return printProblem("pack", "cannot write " + request.file + ": " + std::strerror(error), writeAdvice(error));
  }
  const tFileReport report = readUpdateFile({file.begin(), file.end()});
  if (outputOptions().json) {
    setJsonResult(toJson(request.file, report));
  } else {
    if (outputOptions().headings) {
      std::printf("%s: %zu %s image(s), version %s\n", printable(request.file).c_str(), images.size(),
                  request.target.c_str(), printable(request.version).c_str());
    }
    printSections(report);
  }
  return kSuccess;
}

}  // namespace kestrelctl
