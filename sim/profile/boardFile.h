// The SMBIOS board a profile names: a shipped board by its name, or a
// board file inside the profile's own folder (a relative path without
// ".."), confined like every other path a profile names. A board that
// cannot be used is refused with one line naming the file and the reason,
// never with the file's bytes.
#pragma once

#include <filesystem>
#include <string>

#include "sim/smbios/tSmBiosBoard.h"

namespace nKESTRELSIM {

// The file `board` names; throws std::invalid_argument ("profile: board:
// ...") when it would lead outside the profile's folder. Without a folder
// (a profile made in code) a path is taken as it is.
std::filesystem::path boardPath(const std::string& board, const std::filesystem::path& profileFolder);

// The board's description; throws std::invalid_argument ("profile: board:
// FILE: reason") when it cannot be read or is not a board description.
nSMBIOS::tSmBiosBoard loadBoard(const std::string& board, const std::filesystem::path& profileFolder);

}  // namespace nKESTRELSIM
