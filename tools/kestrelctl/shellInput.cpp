#include "tools/kestrelctl/shellInput.h"

#include <unistd.h>

#include <cerrno>

namespace kestrelctl {
namespace {

constexpr std::size_t kPiece = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<tShellInput::tEvent> tShellInput::takeLine() {
  const auto newline = buffer_.find('\n');
  if (newline == std::string::npos) {
    if (buffer_.size() > kMaxLine) {
      // Drop what there is and skip to the line's end.
      buffer_.clear();
      if (!skipping_) {
        skipping_ = true;
        ++lineNumber_;
        return tEvent::tooLong;
      }
    }
    if (ended_ && !buffer_.empty() && !skipping_) {
      line_ = std::move(buffer_);
      buffer_.clear();
      ++lineNumber_;
      return tEvent::line;
    }
    if (ended_) return tEvent::end;
    return std::nullopt;
  }
  line_ = buffer_.substr(0, newline);
  buffer_.erase(0, newline + 1);
  if (skipping_) {
    skipping_ = false;
    return takeLine();
  }
  ++lineNumber_;
  if (line_.size() > kMaxLine) return tEvent::tooLong;
  return tEvent::line;
}

bool tShellInput::readMore() {
  char piece[kPiece];
  const ssize_t count = read(fd_, piece, sizeof piece);
  if (count < 0) {
    if (errno == EINTR || errno == EAGAIN) return true;
    error_ = errno;
    return false;
  }
  if (count == 0) ended_ = true;
  buffer_.append(piece, static_cast<std::size_t>(count));
  return true;
}

tShellInput::tEvent tShellInput::next(tStopSignals& signals, std::span<const int> other) {
  std::vector<int> descriptors{fd_};
  descriptors.insert(descriptors.end(), other.begin(), other.end());
  for (;;) {
    if (const auto event = takeLine()) return *event;
    const int ready = signals.waitForSignalOr(descriptors);
    if (ready < 0) return tEvent::signal;
    if (ready > 0) {
      otherIndex_ = static_cast<std::size_t>(ready - 1);
      return tEvent::other;
    }
    if (!readMore()) return tEvent::failed;
  }
}

std::optional<std::vector<std::string>> splitWords(std::string_view line, std::string& error) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = '\0';
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote == '\'') {
      if (c == '\'') quote = '\0';
      else word += c;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      inWord = true;
    } else if (quote == '"') {
      if (c == '"') quote = '\0';
      else word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      inWord = true;
    } else if (isBlank(c)) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quote != '\0') {
    error = std::string("a ") + (quote == '"' ? "double" : "single") + " quote is not closed";
    return std::nullopt;
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace kestrelctl
