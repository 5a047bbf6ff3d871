#include "routing/terminalNames.h"

#include <cstring>
#include <string>

#include "json/jsonReader.h"
#include "routing/caseFolding.h"

namespace tarn {
namespace {

// Names up to this length are unescaped on the stack.
constexpr std::size_t kInlineNameLength = 128;

std::uint32_t idOfFoldedName(const tTopographyInfo& topography, const tFoldedName& name) noexcept {
  for (std::uint64_t i = 0; i < topography.terminalCount; ++i) {
    const tTerminalInfo& terminal = topography.terminals[i];
    if (terminal.name != nullptr && name.matches(terminal.name)) return terminal.id;
  }
  return 0;
}

// An escape that decodes to NUL or to half a surrogate pair names no
// terminal.
std::uint32_t idOfEscapedName(const tTopographyInfo& topography, const char* raw, std::size_t rawLength,
                              char* buffer) {
  const char* end = jsonz_unescape(raw, rawLength, buffer);
  if (end == nullptr) return 0;
  return idOfFoldedName(topography, tFoldedName(buffer, static_cast<std::size_t>(end - buffer)));
}

}  // namespace

std::uint32_t terminalIdByName(const tTopographyInfo& topography, const char* raw, std::size_t rawLength) {
  if (std::memchr(raw, '\\', rawLength) == nullptr) {
    return idOfFoldedName(topography, tFoldedName(raw, rawLength));
  }
  if (rawLength < kInlineNameLength) {
    char buffer[kInlineNameLength];
    return idOfEscapedName(topography, raw, rawLength, buffer);
  }
  std::string buffer(rawLength + 1, '\0');
  return idOfEscapedName(topography, raw, rawLength, buffer.data());
}

const char* terminalNameById(const tTopographyInfo& topography, std::uint32_t id) noexcept {
  for (std::uint64_t i = 0; i < topography.terminalCount; ++i) {
    const tTerminalInfo& terminal = topography.terminals[i];
    if (terminal.id == id && terminal.name != nullptr) return terminal.name;
  }
  return "";
}

}  // namespace tarn
