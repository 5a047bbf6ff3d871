// The divergence report: the recorded request and the program's side by
// side, one row per part, the rows that differ marked with '*'.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "sim/record/recordingFormat.h"
#include "sim/record/requestBuffers.h"
#include "sim/replay/tReplaySystem.h"

namespace nKESTRELSIM {

namespace {

constexpr std::size_t kShownHex = 48;
constexpr int kColumn = 52;

std::string shortHex(const std::vector<std::uint8_t>& bytes) {
  std::string text = nRecording::toHex(bytes);
  if (text.size() > kShownHex) text = text.substr(0, kShownHex) + "... (" + std::to_string(bytes.size()) + " bytes)";
  return text.empty() ? "(none)" : text;
}

std::string code(std::uint64_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

void row(std::ostringstream& out, const std::string& label, const std::string& expected, const std::string& actual) {
  char line[512];
  std::snprintf(line, sizeof line, "%c %-13s %-*s %s\n", expected == actual || label.empty() ? ' ' : '*', label.c_str(), kColumn,
                expected.c_str(), actual.c_str());
  out << line;
}

std::string expectedInput(const tExchange& expected) {
  const auto* input = expected.region("input");
  if (input == nullptr || !input->before) return "(none)";
  return shortHex(comparableInput(static_cast<std::uint32_t>(expected.number("request")), *input->before));
}

}  // namespace

std::string tDivergence::report() const {
  std::ostringstream out;
  out << (answeredByModels ? "kestrel-sim: answered by the models: request " : "kestrel-sim: the replay diverged at request ")
      << index << " of process " << process;
  if (expected != nullptr) out << " (the recording's line " << expected->line << ")";
  out << "\n";
  row(out, "", "expected (recorded)", "actual (this run)");
  const std::string none = "(no request)";
  if (!expectedInterface.empty() || (actual && !actual->interface.empty())) {
    row(out, "device", expected ? expectedInterface : none, actual ? actual->interface : none);
  }
  row(out, "request", expected ? code(static_cast<std::uint64_t>(expected->number("request"))) : none,
      actual ? code(actual->code) : "(the program made no more)");
  if (actual && actual->notificationId) {
    const auto* registration = expected ? expected->region("registration") : nullptr;
    std::uint32_t id = 0;
    if (registration && registration->before && registration->before->size() >= 16) {
      std::memcpy(&id, registration->before->data() + 12, sizeof id);
    }
    row(out, "notification", registration ? code(id) : none, code(*actual->notificationId));
  } else if (actual && actual->argument) {
    row(out, "argument", expected ? code(static_cast<std::uint64_t>(expected->number("argument"))) : none, code(*actual->argument));
  } else {
    row(out, "input", expected ? expectedInput(*expected) : none, actual ? shortHex(actual->input) : none);
    if (actual) {
      for (const auto& [field, bytes] : actual->readBuffers) {
        const auto* recorded = expected ? expected->region("buffer", field) : nullptr;
        row(out, "buffer +" + std::to_string(field), recorded && recorded->before ? shortHex(*recorded->before) : none,
            shortHex(bytes));
      }
    }
  }
  return out.str();
}

}  // namespace nKESTRELSIM
