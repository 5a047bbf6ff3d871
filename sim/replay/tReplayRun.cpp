#include "sim/replay/tReplayRun.h"

#include <signal.h>

#include <fstream>
#include <iostream>

#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

namespace {

constexpr const char* kProfileFile = "/.kestrel-replay-profile.json";

}  // namespace

tReplayRun::tReplayRun(const std::string& path, bool lenient)
    : script_(readRecordingFile(path)), lenient_(lenient) {}

std::string tReplayRun::writeProfile(const std::string& sandbox) const {
  const std::string path = sandbox + kProfileFile;
  std::ofstream(path) << script_.profileJson();
  return path;
}

// A divergence ends the program: the process that left the recording and
// the program the launcher started (which may be a shell around it).
iServedSystem& tReplayRun::serve(tSimulator& simulator) {
  if (const auto dump = script_.smBiosDump()) simulator.writeSmBiosDump(*dump);
  system_ = std::make_unique<tReplaySystem>(simulator, script_, lenient_);
  system_->onDivergence([this](pid_t process) {
    if (process > 0) ::kill(process, SIGTERM);
    if (const pid_t program = program_.load(); program > 0) ::kill(program, SIGTERM);
  });
  return *system_;
}

int tReplayRun::finish(int programStatus) const {
  if (const auto& divergence = system_->divergence()) {
    std::cerr << divergence->report();
    return kReplayDiverged;
  }
  if (lenient_) {
    const auto& unmatched = system_->unmatched();
    if (!unmatched.empty()) {
      std::cerr << "kestrel-sim: " << unmatched.size() << " request(s) not in the recording were answered by the models:\n";
      for (const auto& request : unmatched) std::cerr << request.report();
    }
    return programStatus;
  }
  if (const auto missing = system_->unreplayed()) {
    std::cerr << missing->report();
    return kReplayDiverged;
  }
  return programStatus;
}

}  // namespace nKESTRELSIM
