// Checks a profile passes before anything of it is used: every member is
// a known one, and no name that becomes part of a sandbox path can lead
// out of the sandbox.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace nKESTRELSIM {

// The object levels of a profile, each with its own list of members.
enum class tProfileLevel { kTop, kInterface, kFault, kWatchdog };

// Throws std::invalid_argument naming "where.member" for the first member
// that `level` does not know. `where` is "" for the top level.
void refuseUnknownMembers(const nlohmann::json& object, tProfileLevel level, const std::string& where);

// Throws std::invalid_argument naming `where` when `name` is empty, ".",
// "..", or holds a '/', a '\0' or a ".." part: the name must stay one
// entry inside its sandbox directory.
void refuseEscapingName(const std::string& name, const std::string& where);

// "where.key", or "key" at the top level.
std::string memberPath(const std::string& where, const std::string& key);

// A parse error of the JSON library as "line L, column C: what went
// wrong", without the library's own prefix.
std::string parseErrorText(const std::string& libraryMessage);

}  // namespace nKESTRELSIM
