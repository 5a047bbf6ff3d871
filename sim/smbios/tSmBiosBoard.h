// A simulated board's SMBIOS description, read from and written to JSON:
//
//   { "name": "...", "description": "...",
//     "smbios": { "identification": "...", "endOfTable": true,
//                 "structures": [ { "type": 17, "fields": { "size": 8192 } }, ... ] },
//     ...other members, kept as they are for other parts of the simulator }
//
// docs/smbios.md describes the format.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/smbios/tSmBiosTableBuilder.h"

namespace nKESTRELSIM::nSMBIOS {

struct tSmBiosBoard {
  std::string name;
  std::string description;
  // Text delivered beside the table (the dump file's first field).
  std::string identification;
  tSmBiosTableBuilder table;
  // Top-level members other than the three above, kept for their owners.
  nlohmann::json extra = nlohmann::json::object();

  // Throws std::invalid_argument (with the member's path) on a malformed description.
  static tSmBiosBoard fromJson(const nlohmann::json& document);
  static tSmBiosBoard fromFile(const std::filesystem::path& path);
  // Writes every structure in its raw form ("formatted" and "stringSet").
  nlohmann::json toJson() const;

  std::vector<std::uint8_t> tableBytes() const { return table.build(); }
};

}  // namespace nKESTRELSIM::nSMBIOS
