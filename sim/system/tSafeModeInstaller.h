// The safe-mode install tool as the simulator answers it. The one command
// line the library runs,
//
//   sudo --non-interactive /usr/local/zecorp/bin/zeinstallsafemode FILE -f
//
// is served here: the image is read from FILE at that moment and kept, and
// the tool's exit status is the one the test or profile chose. No command
// line is ever handed to a shell: any other form is refused as a command
// that cannot be found (exit status 127).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nKESTRELSIM {

struct tInstalledSafeMode {
  std::string file;                 // the FILE argument
  std::vector<std::uint8_t> bytes;  // its content when the tool ran
  int exitStatus = 0;               // what the tool answered
};

class tSafeModeInstaller {
 public:
  static constexpr int kCommandNotFound = 127;
  static constexpr int kUnreadableImage = 2;

  // The tool's exit status for the next installs (0: success).
  void setExitStatus(int status) noexcept { exitStatus_ = status; }
  // Answers system() for `command`: a wait status as system returns it.
  int run(const std::string& command);
  // The FILE argument of an install command line, or nothing for any other line.
  static std::optional<std::string> installedFile(const std::string& command);
  // Every install the tool was asked for, failed ones included.
  const std::vector<tInstalledSafeMode>& installed() const noexcept { return installed_; }
  void forget();

 private:
  int exitStatus_ = 0;
  std::vector<tInstalledSafeMode> installed_;
};

}  // namespace nKESTRELSIM
