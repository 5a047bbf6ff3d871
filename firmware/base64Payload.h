// Base64 payloads of firmware update files: the alphabet "A-Z a-z 0-9 + /",
// every other byte (line breaks, spaces, "=" padding) skipped wherever it
// stands. Each four alphabet characters give three bytes; two or three
// left over give one or two, a single one gives none.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nKESTREL1400::nFirmware {

// Room decodeBase64 needs for `encodedSize` payload bytes: the most bytes
// they can decode to, plus slack for whole-register stores.
std::size_t decodeBufferSize(std::size_t encodedSize) noexcept;

// Decodes `size` payload bytes into `out` (at least decodeBufferSize(size)
// bytes); returns the number of bytes produced.
std::size_t decodeBase64(const char* text, std::size_t size, std::uint8_t* out) noexcept;

// The one-character-at-a-time form the fast ones are tested against.
std::size_t decodeBase64Bytewise(const char* text, std::size_t size, std::uint8_t* out) noexcept;

// Each form on its own, for tests: decodeBase64 takes the widest the
// processor has.
enum class tBase64Form { bytewise, avx2, avx512 };
bool base64FormAvailable(tBase64Form form) noexcept;
std::size_t decodeBase64As(tBase64Form form, const char* text, std::size_t size, std::uint8_t* out) noexcept;

}  // namespace nKESTREL1400::nFirmware
