#include "sim/profile/tFirmwareProfile.h"

#include <climits>
#include <stdexcept>

#include "platform/driverWireFormat.h"
#include "sim/models/tHostControllerModel.h"
#include "sim/models/tMartenModel.h"
#include "sim/system/tSimulator.h"

namespace nKESTRELSIM {

using nlohmann::json;

namespace {

[[noreturn]] void refuse(const std::string& where, const std::string& what) {
  throw std::invalid_argument("profile: firmware" + (where.empty() ? "" : "." + where) + ": " + what);
}

std::int64_t integer(const json& object, const char* key, const std::string& where, std::int64_t low,
                     std::int64_t high) {
  const json& value = object.at(key);
  if (!value.is_number_integer() || value.get<std::int64_t>() < low || value.get<std::int64_t>() > high) {
    refuse(where + "." + key, "expected an integer from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return value.get<std::int64_t>();
}

void onlyKeys(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
  if (!object.is_object()) refuse(where, "expected an object");
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* allowed : keys) known = known || key == allowed;
    if (!known) refuse(where.empty() ? key : where + "." + key, "unknown member");
  }
}

tFirmwareProfile::tDriverTarget driverTarget(const json& entry, const std::string& where) {
  onlyKeys(entry, where, {"status", "errno"});
  tFirmwareProfile::tDriverTarget target;
  if (entry.contains("status")) target.status = static_cast<std::int32_t>(integer(entry, "status", where, INT32_MIN, INT32_MAX));
  if (entry.contains("errno")) target.error = static_cast<int>(integer(entry, "errno", where, 1, 4095));
  if (entry.contains("status") && entry.contains("errno")) {
    refuse(where, "takes \"status\" (the driver's answer) or \"errno\" (the request fails), not both");
  }
  return target;
}

tFirmwareProfile::tSafeMode readSafeMode(const json& entry) {
  onlyKeys(entry, "SAFEMODE", {"version", "exitStatus"});
  tFirmwareProfile::tSafeMode result;
  if (entry.contains("version")) {
    if (!entry.at("version").is_string()) refuse("SAFEMODE.version", "expected a text");
    result.version = entry.at("version").get<std::string>();
  }
  if (entry.contains("exitStatus")) result.exitStatus = static_cast<int>(integer(entry, "exitStatus", "SAFEMODE", 0, 255));
  return result;
}

// A version tool that prints `version` as one line.
std::string versionScript(const std::string& version) {
  std::string quoted;
  for (char c : version) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "#!/bin/sh\nprintf '%s\\n' '" + quoted + "'\n";
}

void applyDriverTarget(tSimulator& simulator, std::uint32_t request, const tFirmwareProfile::tDriverTarget& target) {
  if (target.error != 0) simulator.failRequests(request, UINT_MAX, {target.error, 0});
}

}  // namespace

tFirmwareProfile tFirmwareProfile::fromJson(const json& member) {
  onlyKeys(member, "", {"BIOS", "MARTEN", "SAFEMODE"});
  tFirmwareProfile profile;
  if (member.contains("BIOS")) profile.bios = driverTarget(member.at("BIOS"), "BIOS");
  if (member.contains("MARTEN")) profile.marten = driverTarget(member.at("MARTEN"), "MARTEN");
  if (member.contains("SAFEMODE")) profile.safeMode = readSafeMode(member.at("SAFEMODE"));
  return profile;
}

void tFirmwareProfile::apply(tSimulator& simulator, bool createFiles) const {
  using namespace nKESTREL1400::nDriverWire;
  for (const tDeviceNode* node : simulator.interfaces()) {
    if (auto* controller = dynamic_cast<tHostControllerModel*>(node->model.get())) controller->setFirmwareStatus(bios.status);
    if (auto* companion = dynamic_cast<tMartenModel*>(node->model.get())) companion->setFirmwareStatus(marten.status);
  }
  applyDriverTarget(simulator, kUpdateFirmware, bios);
  applyDriverTarget(simulator, kUpdateMartenFirmware, marten);
  if (!safeMode) return;
  simulator.safeModeInstaller().setExitStatus(safeMode->exitStatus);
  if (safeMode->version && createFiles) simulator.installTool("zesafemodeversion", versionScript(*safeMode->version));
}

}  // namespace nKESTRELSIM
