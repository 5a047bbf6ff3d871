#include "firmware/base64Payload.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace nKESTREL1400::nFirmware {
namespace {

constexpr std::uint8_t kSkip = 0xFF;
// Slack for the 32-byte stores that write 24 bytes.
constexpr std::size_t kStoreSlack = 8;

constexpr std::array<std::uint8_t, 256> makeValues() {
  std::array<std::uint8_t, 256> values{};
  for (auto& value : values) value = kSkip;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(alphabet[i])] = i;
  return values;
}

constexpr std::array<std::uint8_t, 256> kValues = makeValues();

// Four-character groups gathered across skipped bytes.
struct tGroup {
  std::uint32_t bits = 0;
  unsigned count = 0;
  std::size_t written = 0;

  void add(std::uint8_t value, std::uint8_t* out) {
    bits = (bits << 6) | value;
    if (++count < 4) return;
    out[written] = static_cast<std::uint8_t>(bits >> 16);
    out[written + 1] = static_cast<std::uint8_t>(bits >> 8);
    out[written + 2] = static_cast<std::uint8_t>(bits);
    written += 3;
    count = 0;
    bits = 0;
  }
  // Two or three characters left give one or two bytes.
  std::size_t finish(std::uint8_t* out) {
    if (count >= 2) {
      bits <<= 6 * (4 - count);
      out[written++] = static_cast<std::uint8_t>(bits >> 16);
      if (count == 3) out[written++] = static_cast<std::uint8_t>(bits >> 8);
    }
    return written;
  }
};

// Alphabet bytes one at a time up to the next skipped one, then the whole
// run of skipped bytes (a line end), stopping at `limit`.
std::size_t scalarRun(const char* text, std::size_t at, std::size_t limit, tGroup& group, std::uint8_t* out) {
  while (at < limit) {
    const std::uint8_t value = kValues[static_cast<unsigned char>(text[at])];
    if (value == kSkip) break;
    group.add(value, out);
    ++at;
  }
  while (at < limit && kValues[static_cast<unsigned char>(text[at])] == kSkip) ++at;
  return at;
}

#if defined(__x86_64__)

// Lanes of `input` from `first` to `last`, as all-ones bytes.
__attribute__((target("avx2"))) inline __m256i inRange(__m256i input, char first, char last) {
  const __m256i offset = _mm256_sub_epi8(input, _mm256_set1_epi8(first));
  const __m256i span = _mm256_set1_epi8(static_cast<char>(last - first));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
}

// 32 characters at once into `out` (24 bytes and 8 of slack); returns the
// bit mask of the characters outside the alphabet. Each four characters
// decode on their own, so the groups before the first such character are
// right even when the mask is not 0.
__attribute__((target("avx2"))) std::uint32_t decodeBlock(const char* text, std::uint8_t* out) {
  const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i valid = _mm256_or_si256(
      _mm256_or_si256(inRange(input, 'A', 'Z'), inRange(input, 'a', 'z')),
      _mm256_or_si256(inRange(input, '0', '9'),
                      _mm256_or_si256(_mm256_cmpeq_epi8(input, _mm256_set1_epi8('+')),
                                      _mm256_cmpeq_epi8(input, _mm256_set1_epi8('/')))));
  const std::uint32_t invalid = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(valid));

  // Value = character + shift chosen by its high nibble ("/" one below).
  const __m256i shifts = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                                          -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(input, 4), _mm256_set1_epi8(0x0F));
  const __m256i slash = _mm256_cmpeq_epi8(input, _mm256_set1_epi8('/'));
  const __m256i values = _mm256_add_epi8(input, _mm256_shuffle_epi8(shifts, _mm256_add_epi8(highNibbles, slash)));
  // Four 6-bit values per 32-bit lane become one 24-bit number.
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4,
                                         10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, order),
                                                     _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
  return invalid;
}

__attribute__((target("avx2"))) std::size_t decodeWide(const char* text, std::size_t size, std::uint8_t* out) {
  tGroup group;
  std::size_t at = 0;
  while (at < size) {
    if (group.count == 0 && size - at >= 32) {
      const std::uint32_t invalid = decodeBlock(text + at, out + group.written);
      if (invalid == 0) {
        at += 32;
        group.written += 24;
        continue;
      }
      // Whole groups before the first skipped byte are decoded; the
      // characters after them and the skipped run go one at a time.
      const unsigned first = static_cast<unsigned>(__builtin_ctz(invalid));
      at += first / 4 * 4;
      group.written += first / 4 * 3;
      // A line end between whole groups is stepped over at once when the
      // block shows where it ends.
      const std::uint32_t after = ~(invalid >> first);
      if (first % 4 == 0 && after != 0) {
        at += static_cast<unsigned>(__builtin_ctz(after));
        continue;
      }
      at = scalarRun(text, at, size, group, out);
      continue;
    }
    at = scalarRun(text, at, size, group, out);
  }
  return group.finish(out);
}

bool hasWideRegisters() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
  if ((ebx & bit_AVX2) == 0) return false;
  // The operating system must save the wide registers.
  __get_cpuid(1, &eax, &ebx, &ecx, &edx);
  if ((ecx & bit_OSXSAVE) == 0) return false;
  unsigned low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 0x6) == 0x6;
}

#endif

}  // namespace

std::size_t decodeBufferSize(std::size_t encodedSize) noexcept { return encodedSize / 4 * 3 + 2 + kStoreSlack; }

std::size_t decodeBase64Bytewise(const char* text, std::size_t size, std::uint8_t* out) noexcept {
  tGroup group;
  for (std::size_t at = 0; at < size;) at = scalarRun(text, at, size, group, out);
  return group.finish(out);
}

std::size_t decodeBase64(const char* text, std::size_t size, std::uint8_t* out) noexcept {
#if defined(__x86_64__)
  static const bool wide = hasWideRegisters();
  if (wide) return decodeWide(text, size, out);
#endif
  return decodeBase64Bytewise(text, size, out);
}

}  // namespace nKESTREL1400::nFirmware
