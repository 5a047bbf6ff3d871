// What kestrelctl prints and how it ends: JSON that is always valid, texts
// that never put raw control bytes on a terminal, and an exit status that
// says whether the output really reached its destination.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace kestrelctl {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;  // an operation failed
inline constexpr int kUsage = 2;    // the command line was wrong

struct tOutputOptions {
  bool json = false;      // --json
  bool headings = true;   // --no-headings clears it
};

// The options of this run, set once while the command line is read.
tOutputOptions& outputOptions();

// One JSON document on standard output. Bytes that are not valid UTF-8 in a
// text become U+FFFD, so the document always parses.
void printJson(const nlohmann::json& document, bool pretty = false);

// A text as it may be shown on a terminal: control characters, DEL and bytes
// that are not valid UTF-8 written as \xNN, a backslash as \\.
std::string printable(std::string_view text);

// An id as the documentation writes it: "0x20000500".
std::string hexId(std::uint32_t id);

// Flushes standard output. When the output could not be written (a full
// disk, a closed pipe), says so and turns `status` into kFailure.
int finish(int status);

}  // namespace kestrelctl
