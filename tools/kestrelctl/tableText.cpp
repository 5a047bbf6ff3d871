#include "tools/kestrelctl/tableText.h"

#include <algorithm>
#include <cstdio>

#include "tools/kestrelctl/output.h"

namespace kestrelctl {
namespace {

// Columns are measured in code points, so that UTF-8 texts line up.
std::size_t width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  }));
}

void printLine(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths, int indent) {
  std::string line(static_cast<std::size_t>(indent), ' ');
  for (std::size_t i = 0; i < cells.size(); ++i) {
    line += cells[i];
    if (i + 1 < cells.size()) line += std::string(widths[i] - width(cells[i]) + 2, ' ');
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::printf("%s\n", line.c_str());
}

}  // namespace

tTableText::tTableText(std::vector<std::string> headings) : headings_(std::move(headings)) {}

void tTableText::addRow(std::vector<std::string> cells) {
  for (auto& cell : cells) cell = printable(cell);
  cells.resize(headings_.size());
  rows_.push_back(std::move(cells));
}

void tTableText::print(bool headings, int indent) const {
  std::vector<std::size_t> widths(headings_.size(), 0);
  if (headings) {
    for (std::size_t i = 0; i < headings_.size(); ++i) widths[i] = width(headings_[i]);
  }
  for (const auto& row : rows_) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
  }
  if (headings) printLine(headings_, widths, indent);
  for (const auto& row : rows_) printLine(row, widths, indent);
}

}  // namespace kestrelctl
