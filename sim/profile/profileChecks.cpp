#include "sim/profile/profileChecks.h"

#include <algorithm>
#include <span>
#include <stdexcept>

namespace nKESTRELSIM {
namespace {

// The members each level of a profile knows. A new profile member is one
// more name in its level's list.
constexpr const char* kTopMembers[] = {"board",  "smbiosDump",    "interfaces", "topographyName",
                                      "tools",  "faults",        "triggerRouter", "firmware",
                                      "watchdog"};
constexpr const char* kInterfaceMembers[] = {"name", "suffix", "driver", "interfacePath", "attributes"};
constexpr const char* kFaultMembers[] = {"request", "call", "count", "errno", "status"};
constexpr const char* kWatchdogMembers[] = {"onClose"};

std::span<const char* const> membersOf(tProfileLevel level) {
  switch (level) {
    case tProfileLevel::kTop:
      return kTopMembers;
    case tProfileLevel::kInterface:
      return kInterfaceMembers;
    case tProfileLevel::kFault:
      return kFaultMembers;
    case tProfileLevel::kWatchdog:
      return kWatchdogMembers;
  }
  return {};
}

}  // namespace

std::string memberPath(const std::string& where, const std::string& key) {
  return where.empty() ? key : where + "." + key;
}

void refuseUnknownMembers(const nlohmann::json& object, tProfileLevel level, const std::string& where) {
  if (!object.is_object()) return;
  const auto known = membersOf(level);
  for (const auto& member : object.items()) {
    const std::string& key = member.key();
    if (std::find_if(known.begin(), known.end(), [&](const char* name) { return key == name; }) != known.end()) {
      continue;
    }
    throw std::invalid_argument("profile: " + memberPath(where, key) + ": unknown member");
  }
}

void refuseEscapingName(const std::string& name, const std::string& where) {
  const bool escapes = name.empty() || name == "." || name.find('/') != std::string::npos ||
                       name.find('\0') != std::string::npos || name.find("..") != std::string::npos;
  if (escapes) {
    throw std::invalid_argument("profile: " + where + ": \"" + name +
                                "\" is not a plain name (no '/', no \"..\", not empty)");
  }
}

std::string parseErrorText(const std::string& libraryMessage) {
  // "[json.exception.parse_error.101] parse error at line 2, column 3: ..."
  std::string text = libraryMessage;
  if (!text.empty() && text.front() == '[') {
    const auto end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  const std::string atLine = "parse error at ";
  if (text.rfind(atLine, 0) == 0) text.erase(0, atLine.size());
  return text;
}

}  // namespace nKESTRELSIM
