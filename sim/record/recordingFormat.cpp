#include "sim/record/recordingFormat.h"

namespace nKESTRELSIM::nRecording {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

int digitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string headerLine(bool redacted) {
  return std::string("{\"format\":\"") + kFormatName + "\",\"version\":" + std::to_string(kFormatVersion) +
         ",\"redacted\":" + (redacted ? "true" : "false") + "}\n";
}

void appendHex(std::string& text, std::span<const std::uint8_t> bytes) {
  const std::size_t at = text.size();
  text.resize(at + 2 * bytes.size());
  char* out = text.data() + at;
  for (const std::uint8_t byte : bytes) {
    *out++ = kDigits[byte >> 4];
    *out++ = kDigits[byte & 0x0F];
  }
}

std::string toHex(std::span<const std::uint8_t> bytes) {
  std::string text;
  appendHex(text, bytes);
  return text;
}

std::optional<std::vector<std::uint8_t>> fromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = digitValue(text[2 * i]);
    const int low = digitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += "\\u00";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 0x0F];
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace nKESTRELSIM::nRecording
