// What --redact replaces before a line is written: the identification
// texts a controller answers. Each is overwritten with 'x' byte for byte,
// so that lengths, NULs and the SMBIOS table's layout stay as they were and
// the recording still replays (with the placeholders in the output).
//
// - the identification text of the SMBIOS dump file and of getSmBiosData;
// - in SMBIOS tables, the serial numbers, asset tags and part numbers of
//   the system, baseboard, chassis, processor and memory structures, and
//   the system UUID (zeroed);
// - the values of text attributes (ids 0x10000000 to 0x1FFFFFFF) that
//   getAttribute and setAttribute carry.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/record/tExchange.h"

namespace nKESTRELSIM {

// The identification strings and UUID of a raw SMBIOS table, in place.
void redactSmBiosTable(std::span<std::uint8_t> table);
// A dump file: identification text, NUL, 16-bit table length, table.
void redactSmBiosDump(std::vector<std::uint8_t>& dump);
// A driver file's content, as its path says what it holds.
void redactDriverFile(std::string_view path, std::vector<std::uint8_t>& content);
// A request's regions, as its code and input record say what they hold.
void redactRequest(std::uint32_t code, std::span<tMemoryRegion> regions);

}  // namespace nKESTRELSIM
