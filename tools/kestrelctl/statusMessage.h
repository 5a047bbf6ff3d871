// Failures as kestrelctl reports them: a line on standard error that says
// what failed and why, a hint that is true for this machine, and under
// --json the same as one {"error": {...}} document with the members code,
// name, meaning, operation, message and hint.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace kestrelctl {

struct tProblem {
  std::optional<std::int32_t> code;  // none for usage errors and interruptions
  std::string name;                  // the status name, or "usage", "interrupted", "internal"
  std::string meaning;
  std::string operation;             // "get memory-size"; "" when there is none
  std::string message;               // the whole line after "kestrelctl: "
  std::string hint;                  // "" when there is nothing to suggest
  nlohmann::json extra = nlohmann::json::object();  // further members of "error" (report, conflicts, ...)
};

// "kestrelerr_invalidHandle (-26931): unknown handle, or the session is not open"
std::string describeStatus(std::int32_t code);

// What to try next after a failure, or "" when there is nothing to suggest.
std::string adviceFor(std::int32_t code);

// The problem of a failed operation with a status code. `meaning` replaces
// the code's general meaning where the operation knows better (a route the
// driver refused is no "null pointer").
tProblem statusProblem(const std::string& operation, std::int32_t code, const std::string& advice = "",
                       const std::string& meaning = "");

// Prints the problem (standard error, and the JSON document) and returns
// `exitStatus`.
int report(const tProblem& problem, int exitStatus);

// A failed operation: "kestrelctl: <what>: <description>" and `advice` (or
// the code's own advice). Returns kFailure.
int printFailure(const std::string& what, std::int32_t code, const std::string& advice = "");

// A failure without a status code (a file that cannot be read, a refused
// file): the message and a hint. Returns kFailure.
int printProblem(const std::string& operation, const std::string& message, const std::string& hint = "");

// A wrong command line: nothing reached the controller. Returns kUsage.
int printUsageError(const std::string& message, const std::string& hint = "");

// A wait ended by a signal. Returns kInterrupted.
int printInterrupted(const std::string& operation, const std::string& message);

}  // namespace kestrelctl
