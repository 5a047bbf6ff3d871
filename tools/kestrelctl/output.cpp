#include "tools/kestrelctl/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace kestrelctl {
namespace {

struct tPendingDocument {
  std::optional<nlohmann::json> document;
  bool isFailure = false;
  bool written = false;  // a document already reached standard output
};

tPendingDocument& pending() {
  static tPendingDocument state;
  return state;
}

// The code point of the valid UTF-8 sequence at the start of `text` and its
// length; length 0 when there is none.
struct tDecoded {
  char32_t codePoint = 0;
  std::size_t length = 0;
};

tDecoded decodeUtf8(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000;
  if (length == 0 || text.size() < length) return {};
  char32_t codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return {};
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < min || codePoint > 0x10FFFF || surrogate) return {};
  return {codePoint, length};
}

// Characters a terminal acts on instead of showing: the C1 controls, and the
// bidirectional marks, embeddings, overrides and isolates that can make a
// text read differently from the bytes it holds.
bool actsOnTheTerminal(char32_t codePoint) {
  if (codePoint >= 0x80 && codePoint <= 0x9F) return true;
  if (codePoint == 0x061C || codePoint == 0x200E || codePoint == 0x200F) return true;
  if (codePoint >= 0x202A && codePoint <= 0x202E) return true;
  return codePoint >= 0x2066 && codePoint <= 0x2069;
}

void appendEscaped(std::string& out, std::string_view bytes) {
  for (const char byte : bytes) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(byte));
    out += escaped;
  }
}

void writeLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

void store(const nlohmann::json& document, bool isFailure) {
  auto& state = pending();
  if (outputOptions().documentPerLine) {
    nlohmann::json line = document;
    if (outputOptions().inputLine && line.is_object()) line["line"] = *outputOptions().inputLine;
    writeLine(jsonText(line, tJsonLayout::compact));
    std::fflush(stdout);
    state.written = true;
    return;
  }
  if (state.isFailure) return;
  state.document = document;
  state.isFailure = isFailure;
}

// A command that ends without a document still leaves one, so that a
// script always has something to parse.
nlohmann::json fallbackDocument(int status) {
  if (status == kSuccess) return nlohmann::json::object();
  return {{"error",
           {{"code", nullptr},
            {"name", status == kUsage ? "usage" : "failure"},
            {"meaning", status == kUsage ? "the command line is not valid" : "the operation failed"},
            {"operation", nullptr},
            {"message", "see the message on standard error"},
            {"hint", nullptr}}}};
}

}  // namespace

tOutputOptions& outputOptions() {
  static tOutputOptions options;
  return options;
}

void setJsonResult(const nlohmann::json& document) { store(document, false); }

void setJsonFailure(const nlohmann::json& document) { store(document, true); }

std::string jsonText(const nlohmann::json& document, tJsonLayout layout) {
  return document.dump(layout == tJsonLayout::pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
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
      appendEscaped(out, text.substr(0, 1));
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (const tDecoded decoded = decodeUtf8(text); decoded.length != 0) {
      length = decoded.length;
      if (actsOnTheTerminal(decoded.codePoint)) {
        appendEscaped(out, text.substr(0, length));
      } else {
        out.append(text.substr(0, length));
      }
    } else {
      appendEscaped(out, text.substr(0, 1));
    }
    text.remove_prefix(length);
  }
  return out;
}

bool isUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = static_cast<unsigned char>(text[0]) < 0x80 ? 1 : decodeUtf8(text).length;
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string hexId(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

int finish(int status) {
  auto& state = pending();
  const tOutputOptions& options = outputOptions();
  if (options.json && state.document) {
    writeLine(jsonText(*state.document, options.layout));
  } else if (options.json && !state.written && !options.documentPerLine) {
    writeLine(jsonText(fallbackDocument(status), options.layout));
  }
  state.document.reset();
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "kestrelctl: cannot write the output: %s\n", std::strerror(error));
  return kFailure;
}

}  // namespace kestrelctl
