#include "routing/tTerminalNames.h"

#include <array>
#include <cstring>
#include <string>

#include "json/jsonReader.h"
#include "json/jsonWriter.h"
#include "routing/caseFolding.h"

namespace tarn {
namespace {

constexpr std::size_t kQuickLength = 16;
// Escaped names up to this length are unescaped on the stack.
constexpr std::size_t kInlineNameLength = 128;

// ASCII lower case; every byte from 0x80 up maps to 0x80, which no ASCII
// byte of a request name equals.
constexpr std::array<unsigned char, 256> kAsciiFolded = [] {
  std::array<unsigned char, 256> folded{};
  for (unsigned c = 0; c < 256; ++c) {
    folded[c] = static_cast<unsigned char>(c >= 0x80 ? 0x80 : c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
  return folded;
}();

unsigned char folded(char c) noexcept { return kAsciiFolded[static_cast<unsigned char>(c)]; }

// Folds up to kQuickLength bytes into two zero-padded words; false when a
// byte is not ASCII, or is a backslash (the name holds an escape).
bool foldQuick(const char* text, std::size_t length, std::uint64_t (&words)[2]) noexcept {
  unsigned char bytes[kQuickLength] = {};
  unsigned char any = 0;
  bool escape = false;
  for (std::size_t i = 0; i < length; ++i) {
    any |= static_cast<unsigned char>(text[i]);
    escape |= text[i] == '\\';
    bytes[i] = folded(text[i]);
  }
  std::memcpy(words, bytes, sizeof bytes);
  return any < 0x80 && !escape;
}

// An ASCII request name folds to its ASCII lower case. So does a terminal
// name as far as it is ASCII; from its first other byte on (which may fold
// to ASCII, as U+017F to 's') the full comparison decides.
bool matchesAscii(const char* raw, std::size_t length, const char* name) noexcept {
  for (std::size_t i = 0; i < length; ++i) {
    if (folded(name[i]) == folded(raw[i])) continue;
    if (static_cast<unsigned char>(name[i]) < 0x80) return false;
    return namesMatch(raw, length, name, std::strlen(name));
  }
  return name[length] == '\0';
}

bool isAscii(const char* text, std::size_t length) noexcept {
  unsigned char any = 0;
  for (std::size_t i = 0; i < length; ++i) any |= static_cast<unsigned char>(text[i]);
  return any < 0x80;
}

}  // namespace

tTerminalNames::tTerminalNames(const tTopographyInfo& topography) {
  entries_.reserve(static_cast<std::size_t>(topography.terminalCount));
  for (std::uint64_t i = 0; i < topography.terminalCount; ++i) {
    const tTerminalInfo& terminal = topography.terminals[i];
    if (terminal.name == nullptr) continue;
    const std::size_t length = std::strlen(terminal.name);
    tEntry entry{{0, 0}, terminal.name, terminal.id, static_cast<std::uint32_t>(length), false,
                 jsonz_escapedLength(terminal.name) == length};
    entry.quick = length <= kQuickLength && foldQuick(terminal.name, length, entry.folded);
    entries_.push_back(entry);
  }
}

// Most request names are short plain ASCII: folded in one look at each
// byte, they are compared with a quick entry in two words.
std::uint32_t tTerminalNames::idOf(const char* raw, std::size_t rawLength) const {
  std::uint64_t folded[2] = {0, 0};
  if (rawLength <= kQuickLength && foldQuick(raw, rawLength, folded)) return idOfAscii(raw, rawLength, folded);
  if (std::memchr(raw, '\\', rawLength) != nullptr) return idOfEscaped(raw, rawLength);
  if (isAscii(raw, rawLength)) return idOfAscii(raw, rawLength, nullptr);
  return idOfFolded(raw, rawLength);
}

// `folded` is the request name folded for the quick entries, or null when
// it is too long for them.
std::uint32_t tTerminalNames::idOfAscii(const char* raw, std::size_t rawLength,
                                        const std::uint64_t* folded) const noexcept {
  for (const tEntry& entry : entries_) {
    if (entry.quick) {
      if (folded != nullptr && entry.length == rawLength && entry.folded[0] == folded[0] &&
          entry.folded[1] == folded[1]) {
        return entry.id;
      }
    } else if (matchesAscii(raw, rawLength, entry.name)) {
      return entry.id;
    }
  }
  return 0;
}

std::uint32_t tTerminalNames::idOfFolded(const char* text, std::size_t length) const noexcept {
  const tFoldedName name(text, length);
  for (const tEntry& entry : entries_) {
    if (name.matches(entry.name)) return entry.id;
  }
  return 0;
}

// An escape that decodes to NUL or to half a surrogate pair names no
// terminal.
std::uint32_t tTerminalNames::idOfEscaped(const char* raw, std::size_t rawLength) const {
  char inlineBuffer[kInlineNameLength];
  std::string heapBuffer;
  char* buffer = inlineBuffer;
  if (rawLength >= kInlineNameLength) {
    heapBuffer.assign(rawLength + 1, '\0');
    buffer = heapBuffer.data();
  }
  const char* end = jsonz_unescape(raw, rawLength, buffer);
  if (end == nullptr) return 0;
  return idOfFolded(buffer, static_cast<std::size_t>(end - buffer));
}

tTerminalNames::tName tTerminalNames::nameOf(std::uint32_t id) const noexcept {
  for (const tEntry& entry : entries_) {
    if (entry.id == id) return {entry.name, entry.length, entry.plain};
  }
  return {"", 0, true};
}

}  // namespace tarn
