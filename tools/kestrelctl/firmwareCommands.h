// kestrelctl firmware: inspect and pack update files (no controller
// needed), show the installed versions, and update.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kestrelctl {

struct tFirmwareRequest {
  std::string file;                 // inspect, update: the update file; pack: the output file
  std::string target;               // pack
  std::string version;              // pack
  std::vector<std::string> images;  // pack
  bool force = false;               // update
};

struct tFileReport;

// An update file's text (up to its first NUL byte) and the file's size;
// nothing after a failure, which is reported.
struct tUpdateFileText {
  std::vector<std::uint8_t> bytes;
  std::uint64_t fileBytes = 0;
};
std::optional<tUpdateFileText> readUpdateFileText(const std::string& path, const std::string& operation);

// Reports why an update would install nothing from the file: it is empty,
// has no section, or a section is refused (the first one is named).
// `extra` joins the JSON error. Returns kFailure.
int refuseUpdateFile(const std::string& operation, const std::string& path, const tUpdateFileText& text,
                     const tFileReport& verdict, const nlohmann::json& extra = nlohmann::json::object());

int runFirmwareInspect(const tFirmwareRequest& request);
int runFirmwarePack(const tFirmwareRequest& request);
int runFirmwareStatus(const tFirmwareRequest& request);
int runFirmwareUpdate(const tFirmwareRequest& request);

}  // namespace kestrelctl
