#include "sim/profile/tProfile.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "platform/deviceInterfaceNames.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tTriggerRouterModel.h"
#include "sim/models/tWatchdogModel.h"
#include "sim/profile/boardFile.h"
#include "sim/profile/profileChecks.h"
#include "sim/smbios/smBiosDumpFile.h"
#include "sim/smbios/tSmBiosBoard.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

using nlohmann::json;

namespace {

const char* const kDefaultInterfaces[] = {nKESTREL1400::kControllerInterface, nKESTREL1400::kCompanionInterface,
                                          nKESTREL1400::kWatchdogInterface, nKESTREL1400::kTriggerRouterInterface};

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
  throw std::invalid_argument("profile: " + where + ": " + what);
}

// Numbers as JSON numbers or as "0x..." texts.
std::uint32_t parseNumber(const json& value, const std::string& where) {
  if (value.is_number_unsigned() && value.get<std::uint64_t>() <= 0xFFFFFFFFu) return value.get<std::uint32_t>();
  if (value.is_string()) {
    try {
      std::size_t used = 0;
      const unsigned long number = std::stoul(value.get<std::string>(), &used, 0);
      if (used == value.get<std::string>().size() && number <= 0xFFFFFFFFul) return static_cast<std::uint32_t>(number);
    } catch (const std::exception&) {
    }
  }
  refuse(where, "expected an unsigned 32-bit number or a \"0x...\" text");
}

std::string text(const json& object, const char* key, const std::string& where, std::string fallback) {
  if (!object.contains(key)) return fallback;
  if (!object.at(key).is_string()) refuse(memberPath(where, key), "expected a text");
  return object.at(key).get<std::string>();
}

tProfile::tInterface parseInterface(const json& entry, const std::string& where) {
  if (!entry.is_object()) refuse(where, "expected an object");
  refuseUnknownMembers(entry, tProfileLevel::kInterface, where);
  tProfile::tInterface interface;
  interface.name = text(entry, "name", where, "");
  if (interface.name.empty()) refuse(where + ".name", "missing");
  interface.suffix = text(entry, "suffix", where, interface.suffix);
  interface.driver = text(entry, "driver", where, interface.driver);
  // Each of the three becomes a part of a path in the sandbox.
  refuseEscapingName(interface.name, where + ".name");
  refuseEscapingName(interface.suffix, where + ".suffix");
  refuseEscapingName(interface.driver, where + ".driver");
  if (entry.contains("interfacePath")) interface.interfacePath = text(entry, "interfacePath", where, "");
  if (entry.contains("attributes")) {
    const json& attributes = entry.at("attributes");
    if (!attributes.is_object()) refuse(where + ".attributes", "expected an object");
    for (const auto& [key, value] : attributes.items()) {
      const bool number = value.is_number_unsigned() && value.get<std::uint64_t>() <= 0xFFFFFFFFu;
      if (!number && !value.is_string()) {
        refuse(where + ".attributes." + key, "expected an unsigned 32-bit number or a text");
      }
      interface.attributes[parseNumber(key, where + ".attributes")] = value;
    }
  }
  return interface;
}

constexpr std::pair<const char*, tCall> kCallNames[] = {
    {"open", tCall::kOpen},
    {"fopen", tCall::kFopen},
    {"socket", tCall::kSocket},
    {"bind", tCall::kBind},
    {"getsockname", tCall::kGetsockname},
    {"getsockopt", tCall::kGetsockopt},
    {"setsockopt", tCall::kSetsockopt},
    {"recvmsg", tCall::kRecvmsg},
    {"poll", tCall::kPoll},
    {"glob", tCall::kGlob},
    {"stat", tCall::kStat},
    {"popen", tCall::kPopen},
    {"system", tCall::kSystem},
};

tCall parseCall(const json& value, const std::string& where) {
  if (value.is_string()) {
    for (const auto& [name, call] : kCallNames) {
      if (value.get<std::string>() == name) return call;
    }
  }
  refuse(where, "expected one of open, fopen, socket, bind, getsockname, getsockopt, setsockopt, recvmsg, poll, "
                "glob, stat, popen, system");
}

tProfile::tFault parseFault(const json& entry, const std::string& where) {
  if (!entry.is_object() || entry.contains("request") == entry.contains("call")) {
    refuse(where, "expected an object with either \"request\" or \"call\"");
  }
  refuseUnknownMembers(entry, tProfileLevel::kFault, where);
  tProfile::tFault fault;
  if (entry.contains("call")) {
    fault.call = parseCall(entry.at("call"), where + ".call");
  } else {
    fault.request = parseNumber(entry.at("request"), where + ".request");
  }
  if (entry.contains("count")) fault.count = parseNumber(entry.at("count"), where + ".count");
  if (entry.contains("errno")) fault.error = static_cast<int>(parseNumber(entry.at("errno"), where + ".errno"));
  if (entry.contains("status")) {
    const json& status = entry.at("status");
    const bool inRange = status.is_number_unsigned() ? status.get<std::uint64_t>() <= INT32_MAX
                         : status.is_number_integer() && status.get<std::int64_t>() >= INT32_MIN;
    if (!inRange || fault.call) {
      refuse(where + ".status", "expected an integer, for a request");
    }
    fault.status = entry.at("status").get<std::int32_t>();
  }
  if (fault.error == 0 && fault.status == 0) refuse(where, "needs \"errno\" or \"status\"");
  if (entry.contains("errno") && entry.contains("status")) {
    refuse(where, "takes \"errno\" (the request fails) or \"status\" (the driver answers it), not both");
  }
  return fault;
}

void applyInterface(tSimulator& simulator, const tProfile::tInterface& entry, bool createFiles) {
  tDeviceNode& node = simulator.addInterface(entry.name, entry.suffix, entry.driver, createFiles);
  if (entry.interfacePath && createFiles) simulator.setInterfacePathContent(node, *entry.interfacePath);
  auto* model = dynamic_cast<tHostControllerFamilyModel*>(node.model.get());
  if (model == nullptr) return;
  for (const auto& [id, value] : entry.attributes) {
    if (value.is_string()) {
      model->attributes().setText(id, value.get<std::string>());
    } else {
      model->attributes().setU32(id, value.get<std::uint32_t>());
    }
  }
}

}  // namespace

tProfile tProfile::fromJson(const json& document) {
  if (!document.is_object()) refuse("(top)", "expected an object");
  refuseUnknownMembers(document, tProfileLevel::kTop, "");
  tProfile profile = defaults();
  profile.folder = ".";
  profile.board = text(document, "board", "", profile.board);
  if (document.contains("smbiosDump")) {
    if (!document.at("smbiosDump").is_boolean()) refuse("smbiosDump", "expected true or false");
    profile.smbiosDump = document.at("smbiosDump").get<bool>();
  }
  if (document.contains("interfaces")) {
    if (!document.at("interfaces").is_array()) refuse("interfaces", "expected an array");
    profile.interfaces.clear();
    for (std::size_t i = 0; i < document.at("interfaces").size(); ++i) {
      profile.interfaces.push_back(
          parseInterface(document.at("interfaces").at(i), "interfaces[" + std::to_string(i) + "]"));
    }
  }
  if (document.contains("topographyName")) profile.topographyName = text(document, "topographyName", "", "");
  if (document.contains("triggerRouter")) {
    profile.triggerRouter = tTriggerRouterScript::fromJson(document.at("triggerRouter"), "triggerRouter");
  }
  if (document.contains("tools")) {
    if (!document.at("tools").is_object()) refuse("tools", "expected an object");
    for (const auto& [name, script] : document.at("tools").items()) {
      if (!script.is_string()) refuse("tools." + name, "expected the script text");
      refuseEscapingName(name, "tools." + name);
      profile.tools[name] = script.get<std::string>();
    }
  }
  if (document.contains("faults")) {
    if (!document.at("faults").is_array()) refuse("faults", "expected an array");
    for (std::size_t i = 0; i < document.at("faults").size(); ++i) {
      profile.faults.push_back(parseFault(document.at("faults").at(i), "faults[" + std::to_string(i) + "]"));
    }
  }
  if (document.contains("firmware")) profile.firmware = tFirmwareProfile::fromJson(document.at("firmware"));
  if (document.contains("watchdog")) {
    const json& watchdog = document.at("watchdog");
    if (!watchdog.is_object()) refuse("watchdog", "expected an object");
    refuseUnknownMembers(watchdog, tProfileLevel::kWatchdog, "watchdog");
    const std::string onClose = text(watchdog, "onClose", "watchdog", "keepRunning");
    if (onClose != "keepRunning" && onClose != "stop") refuse("watchdog.onClose", "expected \"keepRunning\" or \"stop\"");
    profile.watchdogStopsOnClose = onClose == "stop";
  }
  return profile;
}

tProfile tProfile::fromFile(const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) throw std::invalid_argument("profile: cannot read " + path.string());
  json document;
  try {
    document = json::parse(file);
  } catch (const json::exception& error) {
    throw std::invalid_argument("profile: " + path.string() + ": " + parseErrorText(error.what()));
  }
  tProfile profile = fromJson(document);
  profile.folder = std::filesystem::absolute(path).parent_path();
  return profile;
}

void tProfile::check() const {
  if (!board.empty()) loadBoard(board, folder);
}

tProfile tProfile::defaults() {
  tProfile profile;
  for (const char* name : kDefaultInterfaces) profile.interfaces.push_back(tInterface{name, "0", "kestrel", {}, {}});
  return profile;
}

void tProfile::apply(tSimulator& simulator, bool createFiles) const {
  for (const tInterface& entry : interfaces) applyInterface(simulator, entry, createFiles);
  if (!board.empty()) {
    const auto loaded = loadBoard(board, folder);
    const auto table = loaded.tableBytes();
    for (const tDeviceNode* node : simulator.interfaces()) {
      if (auto* model = dynamic_cast<tHostControllerModel*>(node->model.get())) {
        model->setSmBios(loaded.identification, table);
      }
    }
    if (smbiosDump && createFiles) simulator.writeSmBiosDump(nSMBIOS::smBiosDumpFileBytes(loaded.identification, table));
  }
  if (topographyName) {
    for (const tDeviceNode* node : simulator.interfaces()) {
      if (auto* model = dynamic_cast<tTriggerRouterModel*>(node->model.get())) model->setTopographyName(*topographyName);
    }
  }
  triggerRouter.apply(simulator);
  for (const tDeviceNode* node : simulator.interfaces()) {
    if (auto* watchdog = dynamic_cast<tWatchdogModel*>(node->model.get())) {
      watchdog->stopWhenStarterCloses(watchdogStopsOnClose);
    }
  }
  if (createFiles) {
    for (const auto& [name, script] : tools) simulator.installTool(name, script);
  }
  if (firmware) firmware->apply(simulator, createFiles);
  for (const tFault& fault : faults) {
    if (fault.call) {
      simulator.failCalls(*fault.call, fault.count, fault.error);
    } else {
      simulator.failRequests(fault.request, fault.count, {fault.error, fault.status});
    }
  }
}

}  // namespace nKESTRELSIM
