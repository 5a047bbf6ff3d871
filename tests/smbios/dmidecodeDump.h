// Reading what `dmidecode --from-dump DUMP -u` reports, and making the DUMP
// from a bare structure table.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace nKESTREL1400::nZESMBIOS_1_1 {

struct tDecodedStructure {
  std::vector<std::uint8_t> formatted;  // "Header and Data", as shown
  std::vector<std::string> strings;     // "Strings", without their NULs
};

// Every structure the output lists, in table order.
std::vector<tDecodedStructure> parseDmidecodeOutput(std::istream& output);

// The table behind an SMBIOS 3.0 entry point: entry point at offset 0, table at 0x20.
std::vector<std::uint8_t> dmidecodeDumpOf(const std::vector<std::uint8_t>& table);

// The output of the installed dmidecode for the table, or nothing when
// dmidecode is not installed.
std::optional<std::string> runDmidecode(const std::vector<std::uint8_t>& table, const std::string& scratchPath);

}  // namespace nKESTREL1400::nZESMBIOS_1_1
