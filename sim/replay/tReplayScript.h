// A recording arranged for replay: each recorded process's requests in
// order, with the driver messages it received after each; the system the
// recording saw (its device interfaces, SMBIOS dump, tools and the safe-mode
// install's answer) as a profile for the simulator to build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/record/tRecordingReader.h"

namespace nKESTRELSIM {

struct tScriptedRequest {
  const tExchange* exchange = nullptr;
  // The device interface it went to ("<name>\\<suffix>"), "" when the
  // recording does not say.
  std::string interface;
  // Data notifications the process received before its next request.
  std::vector<const tExchange*> messagesAfter;
};

struct tScriptedProcess {
  std::int64_t process = 0;
  std::vector<tScriptedRequest> requests;
};

class tReplayScript {
 public:
  explicit tReplayScript(tRecording recording);
  tReplayScript(const tReplayScript&) = delete;
  tReplayScript& operator=(const tReplayScript&) = delete;

  // In the order each process made its first request.
  std::vector<tScriptedProcess>& processes() noexcept { return processes_; }
  // A profile (JSON text) with the recorded interfaces, tools and install answer.
  std::string profileJson() const;
  // The SMBIOS dump file as the program read it, when it did.
  std::optional<tBytes> smBiosDump() const;

 private:
  void arrange();

  tRecording recording_;
  std::vector<tScriptedProcess> processes_;
};

}  // namespace nKESTRELSIM
