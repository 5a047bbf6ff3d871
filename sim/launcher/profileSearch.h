// Where `--profile` finds its file: a path as given, else a profile of that
// name (with or without ".json") in the profile folders, the installed
// ones first.
#pragma once

#include <string>
#include <vector>

namespace nKESTRELSIM {

// The profile's path; throws std::runtime_error saying what was looked for
// and which profiles there are.
std::string locateProfile(const std::string& given, const std::vector<std::string>& folders);

}  // namespace nKESTRELSIM
