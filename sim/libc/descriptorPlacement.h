// Where the simulator's own descriptors go in a program's process: never
// on standard input, output or error (a program started with one of them
// closed would otherwise read from or print into the simulator's
// socket), and never into a program that process executes.
#pragma once

namespace nKESTRELSIM {

inline constexpr int kFirstSimulatorDescriptor = 3;

// The descriptor itself when it is 3 or above (made close-on-exec), else a
// close-on-exec duplicate from 3 up, the original closed. -1 with errno
// when no duplicate can be made (the original is closed then too).
int aboveStandardStreams(int descriptor) noexcept;

}  // namespace nKESTRELSIM
