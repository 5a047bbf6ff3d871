// The environment a program runs in under kestrel-sim: the sandbox, the
// profile and the preloaded simulator library.
#pragma once

#include <string>
#include <vector>

namespace nKESTRELSIM {

// The LD_PRELOAD value for `program`: a sanitizer runtime that the program
// or the simulator library needs comes first (it insists on being the
// first library; one LD_PRELOAD already held counts too), then the
// simulator, then whatever else LD_PRELOAD held.
std::string preloadFor(const std::string& program, const std::string& simulatorLibrary, const char* existing);

// Sanitizer runtimes among the program's shared libraries, resolved paths
// as the dynamic loader lists them (ldd).
std::vector<std::string> sanitizerRuntimes(const std::string& program);

// A file of an installed tree, relative to the running program's own
// location; "" when the program does not run from an installed tree.
std::string installedBeside(const char* relative);

// The program's path: as given when it holds a slash, else searched in PATH.
std::string resolveProgram(const std::string& program);

}  // namespace nKESTRELSIM
