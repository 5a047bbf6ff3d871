// What kestrelctl prints and how it ends: exactly one JSON document per
// command under --json, texts that never put raw control characters on a
// terminal, and an exit status that says whether the output really reached
// its destination.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kestrelctl {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;       // an operation failed
inline constexpr int kUsage = 2;         // the command line was wrong
inline constexpr int kInterrupted = 130; // a wait ended by Ctrl-C or SIGTERM (128 + SIGINT)

enum class tJsonLayout { compact, pretty };

struct tOutputOptions {
  bool json = false;                       // --json
  tJsonLayout layout = tJsonLayout::compact;  // --json=pretty
  bool headings = true;                    // --no-headings clears it
  // Commands that answer as they go (route watch, hold and shell) print one
  // compact document per line at once instead of one document at the end.
  bool documentPerLine = false;
  // The input line a command of 'route shell' came from: its documents say
  // so ("line": 3), and so do its messages ("line 3: ...").
  std::optional<unsigned> inputLine;
};

// The options of this run, set once while the command line is read.
tOutputOptions& outputOptions();

// The command's JSON document, written by finish(). A failure's document
// replaces a result set before it, and the first failure stays: a command
// that fails half-way prints its error, never a result and an error. With
// documentPerLine the document is written at once, on a line of its own.
void setJsonResult(const nlohmann::json& document);
void setJsonFailure(const nlohmann::json& document);

// A document as text: bytes that are not valid UTF-8 in a text become
// U+FFFD, so the document always parses.
std::string jsonText(const nlohmann::json& document, tJsonLayout layout);

// A text as it may be shown on a terminal: control characters (C0 and C1),
// DEL, bidirectional controls and bytes that are not valid UTF-8 written as
// \xNN, a backslash as \\.
std::string printable(std::string_view text);

// Whether `text` is well-formed UTF-8 throughout.
bool isUtf8(std::string_view text);

// An id as the documentation writes it: "0x20000500".
std::string hexId(std::uint32_t id);

// Writes the pending JSON document and flushes standard output. When the
// output could not be written (a full disk, a closed pipe), says so and
// turns `status` into kFailure.
int finish(int status);

}  // namespace kestrelctl
