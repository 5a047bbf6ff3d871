#include "sim/launcher/profileSearch.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>

namespace nKESTRELSIM {
namespace {

namespace fs = std::filesystem;

std::string profileNames(const std::vector<std::string>& folders) {
  std::set<std::string> names;
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
      if (entry->path().extension() == ".json") names.insert(entry->path().stem().string());
    }
  }
  std::string listed;
  for (const std::string& name : names) listed += (listed.empty() ? "" : ", ") + name;
  return listed.empty() ? "none found" : listed;
}

}  // namespace

std::string locateProfile(const std::string& given, const std::vector<std::string>& folders) {
  std::error_code error;
  if (fs::is_regular_file(given, error)) return given;
  if (fs::exists(given, error)) throw std::runtime_error("--profile " + given + ": not a file");
  if (given.find('/') == std::string::npos && !given.empty() && given != "." && given != "..") {
    for (const std::string& folder : folders) {
      for (const std::string& name : {given, given + ".json"}) {
        const fs::path candidate = fs::path(folder) / name;
        if (fs::is_regular_file(candidate, error)) return candidate.string();
      }
    }
  }
  throw std::runtime_error("--profile " + given + ": no such file, and no shipped profile of that name (shipped: " +
                           profileNames(folders) + ")");
}

}  // namespace nKESTRELSIM
