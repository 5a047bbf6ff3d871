// Completion words from the command table, for the bash completion script
// (tools/completion/kestrelctl), which asks 'kestrelctl help --complete --
// WORDS...' so that it always offers what the program itself accepts.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace kestrelctl {

// Printed in place of words where a file name is to be completed.
inline constexpr const char* kCompleteFiles = "@files";

// The words an argument or option value may take, for completion.
void completeValuesWith(const CLI::Option* option, std::function<std::vector<std::string>()> words);
// A file name goes there.
void completeFilesFor(const CLI::Option* option);

// The words that may follow `typed` (the words after the program's name,
// the one being completed left out): commands, options and values.
std::vector<std::string> completionWords(const CLI::App& root, const std::vector<std::string>& typed);

}  // namespace kestrelctl
