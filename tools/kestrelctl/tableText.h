// Columns that stay aligned whatever the values' lengths, with no trailing
// spaces, and an optional heading line (--no-headings drops it).
#pragma once

#include <string>
#include <vector>

namespace kestrelctl {

class tTableText {
 public:
  explicit tTableText(std::vector<std::string> headings);

  // Cells are shown through printable(): control bytes never reach the terminal.
  void addRow(std::vector<std::string> cells);
  // Prints to standard output with `indent` spaces before each line.
  void print(bool headings, int indent = 0) const;

 private:
  std::vector<std::string> headings_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace kestrelctl
