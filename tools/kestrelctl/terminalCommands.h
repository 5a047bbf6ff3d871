// kestrelctl terminals: the trigger router's terminal table, and the reset
// of one terminal.
#pragma once

#include <string>

namespace kestrelctl {

int runTerminals(bool json);
// Resets the terminal named exactly `name` ("default" or "floating" mode).
int runTerminalReset(const std::string& name, bool floating, bool json);

}  // namespace kestrelctl
