// kestrelctl terminals: the trigger router's terminal table, and the reset
// of one terminal.
#pragma once

#include <string>
#include <vector>

#include "tools/quillhost/terminalTable.h"

namespace kestrelctl {

int runTerminals();
// Resets the terminal named exactly `name` ("default" or "floating" mode).
int runTerminalReset(const std::string& name, bool floating);

// The table (or its JSON document) of `rows`.
void printTerminals(const std::vector<quillhost::tTerminalRow>& rows, const std::string& devicePath);

}  // namespace kestrelctl
