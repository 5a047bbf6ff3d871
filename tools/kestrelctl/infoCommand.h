#pragma once

#include "tools/kestrelctl/controllerClient.h"

namespace kestrelctl {

// Prints the board's identity, processor, memory modules, companion chip and
// trigger-router path (as JSON under --json). Returns the exit status.
int runInfo(const tControllerClient& controller);

}  // namespace kestrelctl
