#include "tools/kestrelctl/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrelctl {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, 0 if there is none.
std::size_t utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000;
  if (length == 0 || text.size() < length) return 0;
  unsigned codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  return codePoint < min || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

void appendEscaped(std::string& out, unsigned char byte) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
  out += escaped;
}

}  // namespace

tOutputOptions& outputOptions() {
  static tOutputOptions options;
  return options;
}

void printJson(const nlohmann::json& document, bool pretty) {
  const std::string text = document.dump(pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte < 0x20 || byte == 0x7F) {
      appendEscaped(out, byte);
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if ((length = utf8SequenceLength(text)) != 0) {
      out.append(text.substr(0, length));
    } else {
      length = 1;
      appendEscaped(out, byte);
    }
    text.remove_prefix(length);
  }
  return out;
}

std::string hexId(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

int finish(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "kestrelctl: cannot write the output: %s\n", std::strerror(error));
  return kFailure;
}

}  // namespace kestrelctl
