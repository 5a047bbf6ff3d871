// The input of 'kestrelctl route shell': lines from a descriptor (standard
// input, a file, a FIFO), waited for together with the stop signals and the
// route demotions, and split into words as a shell splits them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kestrelctl/stopSignals.h"

namespace kestrelctl {

class tShellInput {
 public:
  // Lines longer than this are refused whole: the input cannot make the
  // program grow without bound.
  static constexpr std::size_t kMaxLine = 64 * 1024;

  enum class tEvent { line, tooLong, end, signal, other, failed };

  // Reads from `fd`, which it does not close.
  explicit tShellInput(int fd) : fd_(fd) {}

  // Waits for the next line. `other` are further descriptors to wait on:
  // when one becomes readable, the event is `other` and otherIndex() says
  // which.
  tEvent next(tStopSignals& signals, std::span<const int> other);
  const std::string& line() const { return line_; }
  unsigned lineNumber() const { return lineNumber_; }
  std::size_t otherIndex() const { return otherIndex_; }
  // The errno of a failed read.
  int error() const { return error_; }

 private:
  std::optional<tEvent> takeLine();
  bool readMore();

  int fd_;
  std::string buffer_;
  std::string line_;
  unsigned lineNumber_ = 0;
  std::size_t otherIndex_ = 0;
  bool skipping_ = false;  // inside a line that was too long
  bool ended_ = false;
  int error_ = 0;
};

// The words of `line`: split at blanks, with '...' and "..." quoting and a
// backslash escaping the next character (not within '...'); a '#' that
// starts a word starts a comment. Nothing, with `error` set, for a quote
// that does not end.
std::optional<std::vector<std::string>> splitWords(std::string_view line, std::string& error);

}  // namespace kestrelctl
