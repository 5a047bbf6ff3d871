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
// The most bytes `encodedSize` payload bytes can decode to.
std::size_t decodedLength(std::size_t encodedSize) noexcept;

// Decodes `size` payload bytes into `out` (at least decodeBufferSize(size)
// bytes); returns the number of bytes produced.
std::size_t decodeBase64(const char* text, std::size_t size, std::uint8_t* out) noexcept;

// A payload decoded piece by piece, so that the pass over a file that
// decodes it also finds what else the file's text holds: the bytes written
// so far and the alphabet characters of the group not yet complete.
struct tBase64State {
  std::uint32_t bits = 0;
  unsigned count = 0;
  std::size_t written = 0;
};

// Where decodeBase64Until stopped: at the byte to look at, or at the end.
struct tBase64Stop {
  std::size_t at;
  bool full;  // the next group would have gone past the room
};

// Slack beyond the room that `out` needs for whole-register stores and for
// finishBase64.
inline constexpr std::size_t kDecodeSlack = 32;

// Decodes text[at, size) on from `state` into `out` (`room` bytes plus
// kDecodeSlack) and stops at the first NUL, double quote or colon, which
// the payload skips but its file may need to see: the end of the text, a
// quote, the start of the next section. Never writes more than `room`
// bytes of complete groups.
tBase64Stop decodeBase64Until(const char* text, std::size_t at, std::size_t size, std::uint8_t* out,
                              std::size_t room, tBase64State& state) noexcept;
// The one or two bytes of a group left with two or three characters;
// returns the number of bytes decoded.
std::size_t finishBase64(tBase64State& state, std::uint8_t* out) noexcept;
// Takes back the last `count` characters fed, alphabet characters that
// stand together right before `end`, in a payload that starts at `begin`:
// the state as it was in front of them.
void takeBackBase64(tBase64State& state, const char* text, std::size_t begin, std::size_t end,
                    std::size_t count) noexcept;

// The one-character-at-a-time form the fast ones are tested against.
std::size_t decodeBase64Bytewise(const char* text, std::size_t size, std::uint8_t* out) noexcept;

// Each form on its own, for tests: decodeBase64 takes the widest the
// processor has.
enum class tBase64Form { bytewise, avx2, avx512 };
bool base64FormAvailable(tBase64Form form) noexcept;
std::size_t decodeBase64As(tBase64Form form, const char* text, std::size_t size, std::uint8_t* out) noexcept;

}  // namespace nKESTREL1400::nFirmware
