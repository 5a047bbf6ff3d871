// kestrel-sim --replay FILE [--lenient]: the recording read and checked
// before anything runs, the profile of the system it saw, its driver, and
// the exit status once the program has ended: the program's own, or
// kReplayDiverged with the report on standard error when the program's
// requests left the recording (strict) or ended before it did.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>

#include "sim/replay/tReplayScript.h"
#include "sim/replay/tReplaySystem.h"

namespace nKESTRELSIM {

class tSimulator;

inline constexpr int kReplayDiverged = 120;

class tReplayRun {
 public:
  // Throws tRecordingError (its message names the line).
  tReplayRun(const std::string& path, bool lenient);

  // Writes the profile of the recorded system into the sandbox; its path.
  std::string writeProfile(const std::string& sandbox) const;
  // After the profile is applied: the recorded SMBIOS dump, and the
  // driver that answers from the recording.
  iServedSystem& serve(tSimulator& simulator);
  void programStarted(pid_t program) noexcept { program_.store(program); }
  int finish(int programStatus) const;

 private:
  tReplayScript script_;
  bool lenient_;
  std::unique_ptr<tReplaySystem> system_;
  std::atomic<pid_t> program_{0};
};

}  // namespace nKESTRELSIM
