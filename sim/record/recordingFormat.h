// The recording file: JSON Lines, one object per line. The first line names
// the format and its version; every other line is one exchange (see
// docs/recording.md for each call's members). Bytes are lowercase hex
// texts, so that two recordings compare with diff.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nKESTRELSIM::nRecording {

inline constexpr const char* kFormatName = "kestrel-recording";
inline constexpr int kFormatVersion = 1;
// The recorder's environment: the file each process appends to, and
// whether identification texts are replaced.
inline constexpr const char* kFileVariable = "KESTREL_RECORD_FILE";
inline constexpr const char* kRedactVariable = "KESTREL_RECORD_REDACT";

// The first line of a recording, with its newline.
std::string headerLine(bool redacted);

void appendHex(std::string& text, std::span<const std::uint8_t> bytes);
std::string toHex(std::span<const std::uint8_t> bytes);
// Nothing when the text is not an even count of hex digits.
std::optional<std::vector<std::uint8_t>> fromHex(std::string_view text);
// A JSON string literal of `text`, quotes included; bytes that are not
// printable ASCII become \u escapes of the byte, so any path survives.
void appendQuoted(std::string& out, std::string_view text);

}  // namespace nKESTRELSIM::nRecording
