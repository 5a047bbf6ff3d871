#include "sim/replay/tReplayScript.h"

#include <sys/wait.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "platform/driverWireFormat.h"

namespace nKESTRELSIM {

namespace {

using namespace nKESTREL1400::nDriverWire;

constexpr std::string_view kDriverRoot = "/proc/driver/ze/";
constexpr std::string_view kInterfaceFolder = "/deviceInterfaces/";
constexpr std::string_view kToolFolder = "/usr/local/zecorp/bin/";
constexpr std::string_view kSmBiosDumpPrefix = "/run/zesvc/smbios/";
constexpr std::string_view kInterfacePathFile = "/interfacePath";

bool isDataNotification(const tExchange& exchange) {
  if (exchange.number("result") < static_cast<std::int64_t>(kMessageHeaderSize)) return false;
  if (exchange.bytes.size() < kMessageHeaderSize) return false;
  std::uint16_t eventType = 0;
  std::memcpy(&eventType, exchange.bytes.data() + offsetof(tDriverMessage, eventType), sizeof eventType);
  std::uint16_t type = 0;
  std::memcpy(&type, exchange.bytes.data() + offsetof(tDriverMessage, type), sizeof type);
  return eventType == kEventNotify && (type < kFirstControlType || type > kLastControlType);
}

// driver, interface name, suffix of /proc/driver/ze/<driver>/deviceInterfaces/<name>\<suffix>.
std::optional<std::tuple<std::string, std::string, std::string>> interfaceOf(const std::string& path) {
  if (path.rfind(kDriverRoot, 0) != 0) return std::nullopt;
  const auto folder = path.find(kInterfaceFolder, kDriverRoot.size());
  if (folder == std::string::npos) return std::nullopt;
  const std::string driver = path.substr(kDriverRoot.size(), folder - kDriverRoot.size());
  std::string entry = path.substr(folder + kInterfaceFolder.size());
  if (const auto slash = entry.find('/'); slash != std::string::npos) entry.resize(slash);
  const auto separator = entry.rfind('\\');
  if (separator == std::string::npos || driver.empty() || driver.find('/') != std::string::npos) return std::nullopt;
  return std::make_tuple(driver, entry.substr(0, separator), entry.substr(separator + 1));
}

// A tool that prints what the recorded one printed and ends as it ended.
std::string toolScript(const tExchange& run) {
  std::string script = "#!/bin/sh\nprintf '";
  for (const std::uint8_t byte : run.bytes) {
    char octal[6];
    std::snprintf(octal, sizeof octal, "\\%03o", byte);
    script += octal;
  }
  const auto status = static_cast<int>(run.number("result"));
  script += "'\nexit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 1) + "\n";
  return script;
}

std::string toolName(const std::string& command) {
  const auto at = command.find(kToolFolder);
  if (at == std::string::npos) return {};
  const std::string rest = command.substr(at + kToolFolder.size());
  return rest.substr(0, rest.find_first_of(" \t'\""));
}

}  // namespace

tReplayScript::tReplayScript(tRecording recording) : recording_(std::move(recording)) { arrange(); }

std::string interfaceKey(const std::string& path) {
  const auto found = interfaceOf(path);
  return found ? std::get<1>(*found) + "\\" + std::get<2>(*found) : std::string();
}

// Which interface each descriptor of each process reached: the device
// node an interface's path file named, opened by that process (or by the
// parent it inherited the descriptor from: the latest open of the number).
class tDeviceOpens {
 public:
  void note(const tExchange& exchange) {
    if (exchange.call == tRecordedCall::kFile && exchange.number("error") == 0 &&
        exchange.text.size() > kInterfacePathFile.size() &&
        exchange.text.compare(exchange.text.size() - kInterfacePathFile.size(), kInterfacePathFile.size(),
                              kInterfacePathFile) == 0) {
      std::string device(exchange.bytes.begin(), exchange.bytes.end());
      device = device.substr(0, device.find_first_of("\r\n"));
      interfaces_[device] = interfaceKey(exchange.text);
    } else if (exchange.call == tRecordedCall::kOpen && exchange.number("fd", -1) >= 0) {
      const auto found = interfaces_.find(exchange.text);
      const std::string key = found == interfaces_.end() ? std::string() : found->second;
      opens_[{exchange.process, exchange.number("fd")}] = key;
      latest_[exchange.number("fd")] = key;
    }
  }
  std::string of(const tExchange& request) const {
    const std::int64_t descriptor = request.number("fd", -1);
    if (const auto found = opens_.find({request.process, descriptor}); found != opens_.end()) return found->second;
    const auto inherited = latest_.find(descriptor);
    return inherited == latest_.end() ? std::string() : inherited->second;
  }

 private:
  std::map<std::string, std::string> interfaces_;
  std::map<std::pair<std::int64_t, std::int64_t>, std::string> opens_;
  std::map<std::int64_t, std::string> latest_;
};

void tReplayScript::arrange() {
  std::map<std::int64_t, std::size_t> byProcess;
  tDeviceOpens opens;
  for (const tExchange& exchange : recording_.exchanges) {
    opens.note(exchange);
    const bool request = exchange.call == tRecordedCall::kIoctl;
    const bool message = exchange.call == tRecordedCall::kRecvmsg && isDataNotification(exchange);
    if (!request && !message) continue;
    auto found = byProcess.find(exchange.process);
    if (found == byProcess.end()) {
      if (!request) continue;  // nothing to deliver it after
      found = byProcess.emplace(exchange.process, processes_.size()).first;
      processes_.push_back({exchange.process, {}});
    }
    auto& requests = processes_[found->second].requests;
    if (request) {
      requests.push_back({&exchange, opens.of(exchange), {}});
    } else {
      requests.back().messagesAfter.push_back(&exchange);
    }
  }
}

std::string tReplayScript::profileJson() const {
  nlohmann::json profile = nlohmann::json::object();
  std::set<std::tuple<std::string, std::string, std::string>> interfaces;
  nlohmann::json tools = nlohmann::json::object();
  for (const tExchange& exchange : recording_.exchanges) {
    if (exchange.call == tRecordedCall::kGlob) {
      for (const auto& path : exchange.paths) {
        if (auto found = interfaceOf(path)) interfaces.insert(*found);
      }
    } else if (exchange.call == tRecordedCall::kPopen && !toolName(exchange.text).empty()) {
      tools[toolName(exchange.text)] = toolScript(exchange);
    } else if (exchange.call == tRecordedCall::kSystem) {
      const auto status = static_cast<int>(exchange.number("result"));
      profile["firmware"]["SAFEMODE"]["exitStatus"] = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
  }
  profile["interfaces"] = nlohmann::json::array();
  for (const auto& [driver, name, suffix] : interfaces) {
    profile["interfaces"].push_back({{"name", name}, {"suffix", suffix}, {"driver", driver}});
  }
  if (!tools.empty()) profile["tools"] = tools;
  profile["smbiosDump"] = smBiosDump().has_value();
  return profile.dump(2);
}

std::optional<tBytes> tReplayScript::smBiosDump() const {
  for (const tExchange& exchange : recording_.exchanges) {
    if (exchange.call == tRecordedCall::kFile && exchange.text.rfind(kSmBiosDumpPrefix, 0) == 0 &&
        exchange.number("error") == 0) {
      return exchange.bytes;
    }
  }
  return std::nullopt;
}

}  // namespace nKESTRELSIM
